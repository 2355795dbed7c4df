#include "bass/decoders/builtin_decoders.h"

#include "bass/stream_probe.h"

DecoderInfo OpenBuiltInDecoder(const ReadAtFn& read, uint64_t fileBytes) {
    ProbedStream probed;
    switch (SniffStream(read, fileBytes)) {
    case StreamKind::Flac: return OpenFlacDecoder(read, fileBytes);
    case StreamKind::Vorbis: return OpenVorbisDecoder(read, fileBytes);
    case StreamKind::Opus: return OpenOpusDecoder(read, fileBytes);
    case StreamKind::Mpeg:
        // A header's frame count gives the length; without one the frames are read.
        ProbeStream(read, fileBytes, &probed);
        return OpenMpegDecoder(read, fileBytes, probed.FramesCounted);
    default: return {};
    }
}
