// cod_mod.dll: XM, IT, S3M and MOD modules for the library, through libxmp.

#include "codecs/mod/module_decoder.h"
#include "codecs/plugin/plugin_table.h"

namespace {

void* BASSAPI Open(const wchar_t* path, TamberPcmFormat* format, QWORD* lengthBytes) {
    return OpenCodecFile(OpenModuleDecoder, IsModuleFile, path, format, lengthBytes);
}

const TamberCodecPlugin gPlugin = {TamberCodecPluginVersion, "Tracker modules", Open, ReadCodec, SeekCodec, CloseCodec};

}  // namespace

extern "C" const TamberCodecPlugin* BASSAPI TamberCodecPluginInit() { return &gPlugin; }
