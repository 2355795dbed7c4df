#!/usr/bin/env bash
# Seeds of fuzz_wav: short real files from ffmpeg, lame and flac. WAVs in the
# sample formats the library converts (extensible too, and with a LIST chunk
# before the data), and tiny compressed files for the length probe. This
# script is itself read as one more input by the fuzzer; that does no harm.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
src() { ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=$1:duration=0.02" -ac "$2" "${@:3}"; }
src 8000 1 -c:a pcm_u8 -bitexact u8_mono.wav
src 11025 2 -c:a pcm_s16le -bitexact s16_stereo.wav
src 8000 1 -c:a pcm_s24le -bitexact s24_mono.wav
src 8000 2 -c:a pcm_s32le -bitexact s32_stereo.wav
src 8000 1 -c:a pcm_f32le -bitexact f32_mono.wav
# More than two channels: ffmpeg writes WAVE_FORMAT_EXTENSIBLE.
src 8000 6 -c:a pcm_s16le -bitexact extensible_6ch.wav
# A LIST/INFO chunk ahead of the data.
src 8000 1 -c:a pcm_s16le -metadata title=list list_chunk.wav
# Not converted: A-law stays for Media Foundation, the parser must refuse it.
src 8000 1 -c:a pcm_alaw -bitexact alaw.wav
src 44100 1 -c:a pcm_s16le -bitexact "$tmp/t.wav"
src 8000 1 -c:a pcm_s16le -bitexact "$tmp/t8.wav"
lame --quiet -b 32 "$tmp/t.wav" tiny.mp3
flac --silent --force -o tiny.flac "$tmp/t8.wav"
ffmpeg -v error -y -i "$tmp/t.wav" -c:a libvorbis -bitexact -map_metadata -1 tiny.ogg
ffmpeg -v error -y -i "$tmp/t.wav" -c:a aac -b:a 32k -bitexact -map_metadata -1 tiny.m4a
ffmpeg -v error -y -i "$tmp/t.wav" -c:a wmav2 -b:a 32k -bitexact -map_metadata -1 tiny.wma
ls -l
