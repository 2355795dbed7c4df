// cod_ape.dll: Monkey's Audio for the library, through the APE core.

#include "codecs/ape/ape_decoder.h"
#include "codecs/plugin/plugin_table.h"

namespace {

void* BASSAPI Open(const wchar_t* path, TamberPcmFormat* format, QWORD* lengthBytes) {
    return OpenCodecFile(OpenApeDecoder, IsApeFile, path, format, lengthBytes);
}

const TamberCodecPlugin gPlugin = {TamberCodecPluginVersion, "Monkey's Audio", Open, ReadCodec, SeekCodec, CloseCodec};

}  // namespace

extern "C" const TamberCodecPlugin* BASSAPI TamberCodecPluginInit() { return &gPlugin; }
