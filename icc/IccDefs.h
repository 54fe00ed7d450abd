#pragma once
// Types, signatures and status codes of the colour layer. Signatures are four
// characters packed big-endian into 32 bits, as ICC profiles store them.

#include <cstdint>

typedef double icFloatNumber;
typedef uint32_t icUInt32Number;

typedef uint32_t icColorSpaceSignature;
typedef uint32_t icProfileClassSignature;

constexpr uint32_t icSig(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) |
           (uint32_t(uint8_t(c)) << 8) | uint32_t(uint8_t(d));
}

constexpr icColorSpaceSignature icSigUnknownData = 0x3F3F3F3F; // '????'
constexpr icColorSpaceSignature icSigXYZData = icSig('X', 'Y', 'Z', ' ');
constexpr icColorSpaceSignature icSigLabData = icSig('L', 'a', 'b', ' ');
constexpr icColorSpaceSignature icSigLuvData = icSig('L', 'u', 'v', ' ');
constexpr icColorSpaceSignature icSigYCbCrData = icSig('Y', 'C', 'b', 'r');
constexpr icColorSpaceSignature icSigYxyData = icSig('Y', 'x', 'y', ' ');
constexpr icColorSpaceSignature icSigRgbData = icSig('R', 'G', 'B', ' ');
constexpr icColorSpaceSignature icSigGrayData = icSig('G', 'R', 'A', 'Y');
constexpr icColorSpaceSignature icSigHsvData = icSig('H', 'S', 'V', ' ');
constexpr icColorSpaceSignature icSigHlsData = icSig('H', 'L', 'S', ' ');
constexpr icColorSpaceSignature icSigCmykData = icSig('C', 'M', 'Y', 'K');
constexpr icColorSpaceSignature icSigCmyData = icSig('C', 'M', 'Y', ' ');
constexpr icColorSpaceSignature icSig2colorData = icSig('2', 'C', 'L', 'R');
constexpr icColorSpaceSignature icSig3colorData = icSig('3', 'C', 'L', 'R');
constexpr icColorSpaceSignature icSig4colorData = icSig('4', 'C', 'L', 'R');
constexpr icColorSpaceSignature icSig5colorData = icSig('5', 'C', 'L', 'R');
constexpr icColorSpaceSignature icSig6colorData = icSig('6', 'C', 'L', 'R');
constexpr icColorSpaceSignature icSig7colorData = icSig('7', 'C', 'L', 'R');
constexpr icColorSpaceSignature icSig8colorData = icSig('8', 'C', 'L', 'R');
constexpr icColorSpaceSignature icSig9colorData = icSig('9', 'C', 'L', 'R');
constexpr icColorSpaceSignature icSig10colorData = icSig('A', 'C', 'L', 'R');
constexpr icColorSpaceSignature icSig11colorData = icSig('B', 'C', 'L', 'R');
constexpr icColorSpaceSignature icSig12colorData = icSig('C', 'C', 'L', 'R');
constexpr icColorSpaceSignature icSig13colorData = icSig('D', 'C', 'L', 'R');
constexpr icColorSpaceSignature icSig14colorData = icSig('E', 'C', 'L', 'R');
constexpr icColorSpaceSignature icSig15colorData = icSig('F', 'C', 'L', 'R');

// Rendering intents as the ICC numbers them; icUnknownIntent lets the layer
// choose (the source profile's header intent, or the previous step's intent).
typedef uint32_t icRenderingIntent;
constexpr icRenderingIntent icPerceptual = 0;
constexpr icRenderingIntent icRelativeColorimetric = 1;
constexpr icRenderingIntent icSaturation = 2;
constexpr icRenderingIntent icAbsoluteColorimetric = 3;
constexpr icRenderingIntent icUnknownIntent = 0x3F3F3F3F;

// How lookup tables are interpolated. The layer always interpolates linearly,
// as the ICC reference CMM does (IccInterp.h), so no call takes a choice.
enum icXformInterp { icInterpLinear = 0, icInterpTetrahedral = 1 };

enum icStatusCMM {
    icCmmStatOk = 0,
    icCmmStatCantOpenProfile,
    icCmmStatBadSpaceLink,
    icCmmStatInvalidProfile,
    icCmmStatBadXform,
    icCmmStatInvalidLut,
    icCmmStatAllocErr,
    icCmmStatTooManySamples,
    icCmmStatIncorrectApply,
};

// Most channels a pixel of any supported colour space can have.
constexpr int icMaxChannels = 15;
