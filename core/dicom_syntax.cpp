// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_syntax.h"

#include "core/dicom_text.h"

namespace snr {

namespace {

SyntaxUse use_of(E_TransferSyntax xfer)
{
    switch (xfer) {
    case EXS_LittleEndianImplicit:
    case EXS_LittleEndianExplicit:
    case EXS_BigEndianExplicit:
    case EXS_PrivateGE_LEI_WithBigEndianPixelData:
        return SyntaxUse::Native;
    case EXS_JPEGProcess14:
    case EXS_JPEGProcess14SV1:
    case EXS_JPEGLSLossless:
    case EXS_RLELossless:
        return SyntaxUse::Decoded;
    case EXS_DeflatedLittleEndianExplicit:
        return SyntaxUse::Inflated;
    // Lossless, but no codec here decodes them (the toolkit counts the retired lossless JPEG
    // processes as lossy); the JPIP syntaxes keep their pixels outside the file.
    case EXS_JPEGProcess15:
    case EXS_JPEGProcess28:
    case EXS_JPEGProcess29:
    case EXS_JPEG2000LosslessOnly:
    case EXS_JPEG2000MulticomponentLosslessOnly:
    case EXS_JPIPReferenced:
    case EXS_JPIPReferencedDeflate:
    case EXS_BigEndianImplicit:
    case EXS_Unknown:
        return SyntaxUse::Unsupported;
    default:
        return DcmXfer(xfer).isLossy() ? SyntaxUse::Lossy : SyntaxUse::Unsupported;
    }
}

struct LaterSyntax {
    const char* uid;
    SyntaxUse use;
    const char* name;
};

// Syntaxes defined after the toolkit's release, so that they are refused by name too.
constexpr LaterSyntax later_syntaxes[] = {
    {"1.2.840.10008.1.2.1.98", SyntaxUse::Unsupported, "Encapsulated Uncompressed Explicit VR Little Endian"},
    {"1.2.840.10008.1.2.8.1", SyntaxUse::Unsupported, "Deflated Image Frame Compression"},
    {"1.2.840.10008.1.2.4.110", SyntaxUse::Unsupported, "JPEG XL Lossless"},
    {"1.2.840.10008.1.2.4.111", SyntaxUse::Lossy, "JPEG XL JPEG Recompression"},
    {"1.2.840.10008.1.2.4.112", SyntaxUse::Lossy, "JPEG XL"},
    {"1.2.840.10008.1.2.4.201", SyntaxUse::Unsupported, "HTJ2K (Lossless Only)"},
    {"1.2.840.10008.1.2.4.202", SyntaxUse::Unsupported, "HTJ2K with RPCL Options (Lossless Only)"},
    {"1.2.840.10008.1.2.4.203", SyntaxUse::Lossy, "HTJ2K"},
};

}  // namespace

TransferSyntax transfer_syntax(const std::string& uid)
{
    const std::string bare = trimmed(uid);
    if (bare.empty())
        return {};
    const DcmXfer xfer(bare.c_str());
    if (xfer.getXfer() != EXS_Unknown)
        return {xfer.getXfer(), use_of(xfer.getXfer()), xfer.getXferName()};
    for (const LaterSyntax& later : later_syntaxes) {
        if (bare == later.uid)
            return {EXS_Unknown, later.use, later.name};
    }
    return {};
}

std::string syntax_refusal(const TransferSyntax& syntax, const std::string& uid)
{
    const std::string named = " (" + syntax.name + ", " + shown(uid) + ")";
    if (syntax.use == SyntaxUse::Lossy)
        return "は非可逆圧縮の画像です。圧縮で雑音が変わるため測定できません" + named;
    return "の転送構文には対応していません" + named;
}

}  // namespace snr
