// kcDXCaps's sections of the system-information report (08 to 12).
#include "plugin/kcDXCaps.h"
#include "foundation/kcCaps.h"
#include "foundation/kcString.h"
#include "plugin/LanguageText.h"
#include "plugin/ReportText.h"
#include <cstddef>
#include <cstring>

namespace {
struct CapsFlag {
    const wchar_t* name;
    DWORD bit;
};
#define KC_FLAG(prefix, name) {L## #name, prefix##name}

const CapsFlag kCaps2[] = {KC_FLAG(D3DCAPS2_, CANCALIBRATEGAMMA), KC_FLAG(D3DCAPS2_, FULLSCREENGAMMA)};
const CapsFlag kCursorCaps[] = {KC_FLAG(D3DCURSORCAPS_, COLOR), KC_FLAG(D3DCURSORCAPS_, LOWRES)};
const CapsFlag kDevCaps[] = {
    KC_FLAG(D3DDEVCAPS_, CANBLTSYSTONONLOCAL),  KC_FLAG(D3DDEVCAPS_, CANRENDERAFTERFLIP),
    KC_FLAG(D3DDEVCAPS_, DRAWPRIMTLVERTEX),     KC_FLAG(D3DDEVCAPS_, EXECUTESYSTEMMEMORY),
    KC_FLAG(D3DDEVCAPS_, EXECUTEVIDEOMEMORY),   KC_FLAG(D3DDEVCAPS_, HWRASTERIZATION),
    KC_FLAG(D3DDEVCAPS_, HWTRANSFORMANDLIGHT),  KC_FLAG(D3DDEVCAPS_, NPATCHES),
    KC_FLAG(D3DDEVCAPS_, PUREDEVICE),           KC_FLAG(D3DDEVCAPS_, QUINTICRTPATCHES),
    KC_FLAG(D3DDEVCAPS_, RTPATCHES),            KC_FLAG(D3DDEVCAPS_, RTPATCHHANDLEZERO),
    KC_FLAG(D3DDEVCAPS_, SEPARATETEXTUREMEMORIES), KC_FLAG(D3DDEVCAPS_, TEXTURENONLOCALVIDMEM),
    KC_FLAG(D3DDEVCAPS_, TEXTURESYSTEMMEMORY),  KC_FLAG(D3DDEVCAPS_, TEXTUREVIDEOMEMORY),
    KC_FLAG(D3DDEVCAPS_, TLVERTEXSYSTEMMEMORY), KC_FLAG(D3DDEVCAPS_, TLVERTEXVIDEOMEMORY)};
const CapsFlag kMiscCaps[] = {
    KC_FLAG(D3DPMISCCAPS_, BLENDOP),  KC_FLAG(D3DPMISCCAPS_, CLIPPLANESCALEDPOINTS),
    KC_FLAG(D3DPMISCCAPS_, CLIPTLVERTS), KC_FLAG(D3DPMISCCAPS_, COLORWRITEENABLE),
    KC_FLAG(D3DPMISCCAPS_, CULLCCW),  KC_FLAG(D3DPMISCCAPS_, CULLCW),
    KC_FLAG(D3DPMISCCAPS_, CULLNONE), KC_FLAG(D3DPMISCCAPS_, MASKZ),
    KC_FLAG(D3DPMISCCAPS_, TSSARGTEMP)};
const CapsFlag kRasterCaps[] = {
    KC_FLAG(D3DPRASTERCAPS_, ANISOTROPY), KC_FLAG(D3DPRASTERCAPS_, COLORPERSPECTIVE),
    KC_FLAG(D3DPRASTERCAPS_, DITHER),     KC_FLAG(D3DPRASTERCAPS_, FOGRANGE),
    KC_FLAG(D3DPRASTERCAPS_, FOGTABLE),   KC_FLAG(D3DPRASTERCAPS_, FOGVERTEX),
    KC_FLAG(D3DPRASTERCAPS_, MIPMAPLODBIAS), KC_FLAG(D3DPRASTERCAPS_, WBUFFER),
    {L"D3DPRASTERCAPS_WFOG", D3DPRASTERCAPS_WFOG}, KC_FLAG(D3DPRASTERCAPS_, ZBUFFERLESSHSR),
    KC_FLAG(D3DPRASTERCAPS_, ZFOG),       KC_FLAG(D3DPRASTERCAPS_, ZTEST)};
const CapsFlag kCmpCaps[] = {
    KC_FLAG(D3DPCMPCAPS_, ALWAYS), KC_FLAG(D3DPCMPCAPS_, EQUAL),     KC_FLAG(D3DPCMPCAPS_, GREATER),
    KC_FLAG(D3DPCMPCAPS_, GREATEREQUAL), KC_FLAG(D3DPCMPCAPS_, LESS), KC_FLAG(D3DPCMPCAPS_, LESSEQUAL),
    KC_FLAG(D3DPCMPCAPS_, NEVER),  KC_FLAG(D3DPCMPCAPS_, NOTEQUAL)};
const CapsFlag kBlendCaps[] = {
    KC_FLAG(D3DPBLENDCAPS_, BOTHINVSRCALPHA), KC_FLAG(D3DPBLENDCAPS_, BOTHSRCALPHA),
    KC_FLAG(D3DPBLENDCAPS_, DESTALPHA),   KC_FLAG(D3DPBLENDCAPS_, DESTCOLOR),
    KC_FLAG(D3DPBLENDCAPS_, INVDESTALPHA), KC_FLAG(D3DPBLENDCAPS_, INVDESTCOLOR),
    KC_FLAG(D3DPBLENDCAPS_, INVSRCALPHA), KC_FLAG(D3DPBLENDCAPS_, INVSRCCOLOR),
    KC_FLAG(D3DPBLENDCAPS_, ONE),         KC_FLAG(D3DPBLENDCAPS_, SRCALPHA),
    KC_FLAG(D3DPBLENDCAPS_, SRCALPHASAT), KC_FLAG(D3DPBLENDCAPS_, SRCCOLOR),
    KC_FLAG(D3DPBLENDCAPS_, ZERO)};
const CapsFlag kShadeCaps[] = {
    KC_FLAG(D3DPSHADECAPS_, ALPHAGOURAUDBLEND), KC_FLAG(D3DPSHADECAPS_, COLORGOURAUDRGB),
    KC_FLAG(D3DPSHADECAPS_, FOGGOURAUD),        KC_FLAG(D3DPSHADECAPS_, SPECULARGOURAUDRGB)};
const CapsFlag kTextureCaps[] = {
    KC_FLAG(D3DPTEXTURECAPS_, ALPHA),        KC_FLAG(D3DPTEXTURECAPS_, ALPHAPALETTE),
    KC_FLAG(D3DPTEXTURECAPS_, CUBEMAP),      KC_FLAG(D3DPTEXTURECAPS_, CUBEMAP_POW2),
    KC_FLAG(D3DPTEXTURECAPS_, MIPCUBEMAP),   KC_FLAG(D3DPTEXTURECAPS_, MIPMAP),
    KC_FLAG(D3DPTEXTURECAPS_, MIPVOLUMEMAP), KC_FLAG(D3DPTEXTURECAPS_, NONPOW2CONDITIONAL),
    KC_FLAG(D3DPTEXTURECAPS_, PERSPECTIVE),  KC_FLAG(D3DPTEXTURECAPS_, POW2),
    KC_FLAG(D3DPTEXTURECAPS_, PROJECTED),    KC_FLAG(D3DPTEXTURECAPS_, SQUAREONLY),
    KC_FLAG(D3DPTEXTURECAPS_, TEXREPEATNOTSCALEDBYSIZE), KC_FLAG(D3DPTEXTURECAPS_, VOLUMEMAP),
    KC_FLAG(D3DPTEXTURECAPS_, VOLUMEMAP_POW2)};
const CapsFlag kFilterCaps[] = {
    KC_FLAG(D3DPTFILTERCAPS_, MAGFANISOTROPIC), KC_FLAG(D3DPTFILTERCAPS_, MAGFLINEAR),
    KC_FLAG(D3DPTFILTERCAPS_, MAGFPOINT),       KC_FLAG(D3DPTFILTERCAPS_, MINFANISOTROPIC),
    KC_FLAG(D3DPTFILTERCAPS_, MINFLINEAR),      KC_FLAG(D3DPTFILTERCAPS_, MINFPOINT),
    KC_FLAG(D3DPTFILTERCAPS_, MIPFLINEAR),      KC_FLAG(D3DPTFILTERCAPS_, MIPFPOINT)};
const CapsFlag kAddressCaps[] = {
    KC_FLAG(D3DPTADDRESSCAPS_, BORDER), KC_FLAG(D3DPTADDRESSCAPS_, CLAMP),
    KC_FLAG(D3DPTADDRESSCAPS_, INDEPENDENTUV), KC_FLAG(D3DPTADDRESSCAPS_, MIRROR),
    KC_FLAG(D3DPTADDRESSCAPS_, MIRRORONCE), KC_FLAG(D3DPTADDRESSCAPS_, WRAP)};
const CapsFlag kLineCaps[] = {KC_FLAG(D3DLINECAPS_, ALPHACMP), KC_FLAG(D3DLINECAPS_, BLEND),
                              KC_FLAG(D3DLINECAPS_, FOG), KC_FLAG(D3DLINECAPS_, TEXTURE),
                              KC_FLAG(D3DLINECAPS_, ZTEST)};
const CapsFlag kStencilCaps[] = {
    KC_FLAG(D3DSTENCILCAPS_, DECR),   KC_FLAG(D3DSTENCILCAPS_, DECRSAT), KC_FLAG(D3DSTENCILCAPS_, INCR),
    KC_FLAG(D3DSTENCILCAPS_, INCRSAT), KC_FLAG(D3DSTENCILCAPS_, INVERT), KC_FLAG(D3DSTENCILCAPS_, KEEP),
    KC_FLAG(D3DSTENCILCAPS_, REPLACE), KC_FLAG(D3DSTENCILCAPS_, ZERO)};
// TEXCOORDCOUNTMASK is a field, not a bit: it counts as set when any of it is.
const CapsFlag kFvfCaps[] = {KC_FLAG(D3DFVFCAPS_, DONOTSTRIPELEMENTS), KC_FLAG(D3DFVFCAPS_, PSIZE),
                             KC_FLAG(D3DFVFCAPS_, TEXCOORDCOUNTMASK)};
const CapsFlag kTextureOpCaps[] = {
    KC_FLAG(D3DTEXOPCAPS_, ADD),        KC_FLAG(D3DTEXOPCAPS_, ADDSIGNED),
    KC_FLAG(D3DTEXOPCAPS_, ADDSIGNED2X), KC_FLAG(D3DTEXOPCAPS_, ADDSMOOTH),
    KC_FLAG(D3DTEXOPCAPS_, BLENDCURRENTALPHA), KC_FLAG(D3DTEXOPCAPS_, BLENDDIFFUSEALPHA),
    KC_FLAG(D3DTEXOPCAPS_, BLENDFACTORALPHA), KC_FLAG(D3DTEXOPCAPS_, BLENDTEXTUREALPHA),
    KC_FLAG(D3DTEXOPCAPS_, BLENDTEXTUREALPHAPM), KC_FLAG(D3DTEXOPCAPS_, BUMPENVMAP),
    KC_FLAG(D3DTEXOPCAPS_, BUMPENVMAPLUMINANCE), KC_FLAG(D3DTEXOPCAPS_, DISABLE),
    KC_FLAG(D3DTEXOPCAPS_, DOTPRODUCT3), KC_FLAG(D3DTEXOPCAPS_, LERP),
    KC_FLAG(D3DTEXOPCAPS_, MODULATE),   KC_FLAG(D3DTEXOPCAPS_, MODULATE2X),
    KC_FLAG(D3DTEXOPCAPS_, MODULATE4X), KC_FLAG(D3DTEXOPCAPS_, MODULATEALPHA_ADDCOLOR),
    KC_FLAG(D3DTEXOPCAPS_, MODULATECOLOR_ADDALPHA), KC_FLAG(D3DTEXOPCAPS_, MODULATEINVALPHA_ADDCOLOR),
    KC_FLAG(D3DTEXOPCAPS_, MODULATEINVCOLOR_ADDALPHA), KC_FLAG(D3DTEXOPCAPS_, MULTIPLYADD),
    KC_FLAG(D3DTEXOPCAPS_, PREMODULATE), KC_FLAG(D3DTEXOPCAPS_, SELECTARG1),
    KC_FLAG(D3DTEXOPCAPS_, SELECTARG2), KC_FLAG(D3DTEXOPCAPS_, SUBTRACT)};
const CapsFlag kVertexCaps[] = {
    KC_FLAG(D3DVTXPCAPS_, DIRECTIONALLIGHTS), KC_FLAG(D3DVTXPCAPS_, LOCALVIEWER),
    KC_FLAG(D3DVTXPCAPS_, MATERIALSOURCE7),   KC_FLAG(D3DVTXPCAPS_, POSITIONALLIGHTS),
    KC_FLAG(D3DVTXPCAPS_, TEXGEN),            KC_FLAG(D3DVTXPCAPS_, TWEENING)};
#undef KC_FLAG

// The flag fields of D3DCAPS9 from Caps2 to LineCaps, in record order.
struct FlagField {
    const wchar_t* name;
    size_t offset;
    const CapsFlag* flags;
    int count;
};
#define KC_FIELD(field, table) {L## #field, offsetof(D3DCAPS9, field), table, (int)(sizeof(table) / sizeof(table[0]))}
const FlagField kFlagFieldsFromCaps2[] = {
    KC_FIELD(Caps2, kCaps2), {L"Caps3", offsetof(D3DCAPS9, Caps3), nullptr, 0}};
const FlagField kFlagFieldsFromCursor[] = {
    KC_FIELD(CursorCaps, kCursorCaps),       KC_FIELD(DevCaps, kDevCaps),
    KC_FIELD(PrimitiveMiscCaps, kMiscCaps),  KC_FIELD(RasterCaps, kRasterCaps),
    KC_FIELD(ZCmpCaps, kCmpCaps),            KC_FIELD(SrcBlendCaps, kBlendCaps),
    KC_FIELD(DestBlendCaps, kBlendCaps),     KC_FIELD(AlphaCmpCaps, kCmpCaps),
    KC_FIELD(ShadeCaps, kShadeCaps),         KC_FIELD(TextureCaps, kTextureCaps),
    KC_FIELD(TextureFilterCaps, kFilterCaps), KC_FIELD(CubeTextureFilterCaps, kFilterCaps),
    KC_FIELD(VolumeTextureFilterCaps, kFilterCaps), KC_FIELD(TextureAddressCaps, kAddressCaps),
    KC_FIELD(VolumeTextureAddressCaps, kAddressCaps), KC_FIELD(LineCaps, kLineCaps)};
const FlagField kStencilAndOps[] = {KC_FIELD(StencilCaps, kStencilCaps), KC_FIELD(FVFCaps, kFvfCaps),
                                    KC_FIELD(TextureOpCaps, kTextureOpCaps)};
const FlagField kVertexProcessing[] = {KC_FIELD(VertexProcessingCaps, kVertexCaps)};
#undef KC_FIELD

template <int N>
int ReportFlagFields(wchar_t* dst, const D3DCAPS9& caps, const FlagField (&fields)[N])
{
    int n = 0;
    for (const FlagField& f : fields) {
        DWORD value;
        memcpy(&value, (const char*)&caps + f.offset, sizeof(value));
        wchar_t head[64];
        wsprintfW(head, L"[%s] : %%08x\r\n", f.name);
        n += AppendReportLine(dst, head, value);
        for (int i = 0; i < f.count; ++i) {
            wchar_t line[96];
            wsprintfW(line, L"  %s : %%d\r\n", f.flags[i].name);
            n += AppendReportLine(dst, line, (value & f.flags[i].bit) ? 1 : 0);
        }
    }
    return n;
}

// One line for a single interval flag; a mask of several known flags gives one line per flag.
int ReportPresentationIntervals(wchar_t* dst, DWORD value)
{
    static const struct {
        DWORD bit;
        const wchar_t* text;
    } intervals[] = {{D3DPRESENT_INTERVAL_IMMEDIATE, L"  INTERVAL_IMMEDIATE\r\n"},
                     {D3DPRESENT_INTERVAL_ONE, L"  INTERVAL_ONE\r\n"},
                     {D3DPRESENT_INTERVAL_TWO, L"  INTERVAL_TWO\r\n"},
                     {D3DPRESENT_INTERVAL_THREE, L"  INTERVAL_THREE\r\n"},
                     {D3DPRESENT_INTERVAL_FOUR, L"  INTERVAL_FOUR\r\n"}};
    DWORD known = 0;
    for (auto& i : intervals) known |= i.bit;
    int n = AppendReportLine(dst, L"[PresentationIntervals] : %08x\r\n", value);
    if (value == 0 || (value & ~known)) return n + AppendReportLine(dst, L"  unknown\r\n");
    for (auto& i : intervals)
        if (value & i.bit) n += AppendReportLine(dst, i.text);
    return n;
}

// The file version of the driver, 0.0.0.0 without a version resource.
void DriverVersion(const wchar_t* driver, WORD* parts)
{
    uint32_t version[2] = {0, 0};
    if (kcGetFileVersion(driver, version) != 0) version[0] = version[1] = 0;
    parts[0] = HIWORD(version[1]);
    parts[1] = LOWORD(version[1]);
    parts[2] = HIWORD(version[0]);
    parts[3] = LOWORD(version[0]);
}
} // namespace

int kcD3DFormatName(wchar_t* dst, uint32_t format)
{
    static const struct {
        uint32_t value;
        const wchar_t* name;
    } names[] = {
        {20, L"R8G8B8"},   {21, L"A8R8G8B8"},  {22, L"X8R8G8B8"}, {23, L"R5G6B5"},   {24, L"X1R5G5B5"},
        {25, L"A1R5G5B5"}, {26, L"A4R4G4B4"},  {27, L"R3G3B2"},   {28, L"A8"},       {29, L"A8R3G3B2"},
        {30, L"X4R4G4B4"}, {40, L"A8P8"},      {41, L"P8"},       {50, L"L8"},       {51, L"A8L8"},
        {52, L"A4L4"},     {60, L"V8U8"},      {61, L"L6V5U5"},   {62, L"X8L8V8U8"}, {63, L"Q8W8V8U8"},
        {64, L"V16U16"},   {70, L"D16_LOCKABLE"}, {71, L"D32"},   {73, L"D15S1"},    {75, L"D24S8"},
        {77, L"D24X8"},    {79, L"D24X4S4"},   {80, L"D16"},      {100, L"VERTEXDATA"}, {101, L"INDEX16"},
        {102, L"INDEX32"}, {MAKEFOURCC('U', 'Y', 'V', 'Y'), L"UYVY"}, {MAKEFOURCC('Y', 'U', 'Y', '2'), L"YUY2"},
        {MAKEFOURCC('D', 'X', 'T', '1'), L"DXT1"}, {MAKEFOURCC('D', 'X', 'T', '2'), L"DXT2"},
        {MAKEFOURCC('D', 'X', 'T', '3'), L"DXT3"}, {MAKEFOURCC('D', 'X', 'T', '4'), L"DXT4"},
        {MAKEFOURCC('D', 'X', 'T', '5'), L"DXT5"},
    };
    const wchar_t* name = L"unknown";
    for (auto& n : names)
        if (n.value == format) name = n.name;
    if (!dst) return 0;
    kcCopyStringWN(dst, 32, TranslateText(name));
    return (int)wcslen(dst);
}

int kcDXCaps::BuildReport(wchar_t* dst) const
{
    if (dst) dst[0] = 0;
    return ReportDriver(dst) + ReportCurrentMode(dst) + ReportDeviceCaps(dst) + ReportDisplayModes(dst) +
           ReportAudioDevices(dst);
}

int kcDXCaps::ReportDriver(wchar_t* dst) const
{
    char text[MAX_DEVICE_IDENTIFIER_STRING];
    wchar_t driver[MAX_DEVICE_IDENTIFIER_STRING], description[MAX_DEVICE_IDENTIFIER_STRING];
    memcpy(text, identifier.Driver, sizeof(text));
    text[sizeof(text) - 1] = 0;
    kcSjisToWideN(driver, MAX_DEVICE_IDENTIFIER_STRING, text);
    memcpy(text, identifier.Description, sizeof(text));
    text[sizeof(text) - 1] = 0;
    kcSjisToWideN(description, MAX_DEVICE_IDENTIFIER_STRING, text);
    WORD file[4];
    DriverVersion(driver, file);
    DWORD high = (DWORD)identifier.DriverVersion.HighPart, low = identifier.DriverVersion.LowPart;
    const GUID& g = identifier.DeviceIdentifier;
    // Data4's first four bytes, in the order the GUID's text shows them.
    DWORD data4 = (DWORD)g.Data4[0] << 24 | (DWORD)g.Data4[1] << 16 | (DWORD)g.Data4[2] << 8 | g.Data4[3];
    int n = AppendReportLine(dst, L"\r\n{%02d}-- display driver info --\r\n", 8);
    n += AppendReportLine(dst, L"(%02d)Driver : %s [%d.%d.%d.%d]\r\n", 1, driver, file[0], file[1], file[2], file[3]);
    n += AppendReportLine(dst, L"(%02d)Description : %s\r\n", 2, description);
    n += AppendReportLine(dst, L"(%02d)Product : %d\r\n", 3, HIWORD(high));
    n += AppendReportLine(dst, L"(%02d)Version : %d\r\n", 4, LOWORD(high));
    n += AppendReportLine(dst, L"(%02d)SubVersion : %d\r\n", 5, HIWORD(low));
    n += AppendReportLine(dst, L"(%02d)Build : %d\r\n", 6, LOWORD(low));
    n += AppendReportLine(dst, L"(%02d)VendorId : %08x\r\n", 7, identifier.VendorId);
    n += AppendReportLine(dst, L"(%02d)DeviceId : %08x\r\n", 8, identifier.DeviceId);
    n += AppendReportLine(dst, L"(%02d)SubSysId : %08x\r\n", 9, identifier.SubSysId);
    n += AppendReportLine(dst, L"(%02d)Revision : %08x\r\n", 10, identifier.Revision);
    n += AppendReportLine(dst, L"(%02d)DeviceIdentifier : %08x:%08x:%08x:%08x\r\n", 11, g.Data1, g.Data2, g.Data3,
                          data4);
    n += AppendReportLine(dst, L"(%02d)WHQLLevel : %08x\r\n", 12, identifier.WHQLLevel);
    return n;
}

int kcDXCaps::ReportCurrentMode(wchar_t* dst) const
{
    wchar_t format[32];
    kcD3DFormatName(format, currentMode.Format);
    int n = AppendReportLine(dst, L"\r\n{%02d}-- now display info --\r\n", 9);
    n += AppendReportLine(dst, L"(%02d)Width  : %d\r\n", 1, currentMode.Width);
    n += AppendReportLine(dst, L"(%02d)Height : %d\r\n", 2, currentMode.Height);
    n += AppendReportLine(dst, L"(%02d)Rate   : %d\r\n", 3, currentMode.RefreshRate);
    n += AppendReportLine(dst, L"(%02d)Format : %s\r\n", 4, format);
    return n;
}

int kcDXCaps::ReportDeviceCaps(wchar_t* dst) const
{
    const D3DCAPS9& c = deviceCaps;
    int n = AppendReportLine(dst, L"\r\n{%02d}-- device caps info (Direct3D9) --\r\n", 10);
    n += AppendReportLine(dst, L"[DeviceType] : %s\r\n", c.DeviceType == D3DDEVTYPE_HAL ? L"HAL" : L"REF");
    n += AppendReportLine(dst, L"[Caps] : %08x\r\n", c.Caps);
    if (c.Caps & D3DCAPS_READ_SCANLINE) n += AppendReportLine(dst, L"  READ_SCANLINE : %d\r\n", 1);
    n += ReportFlagFields(dst, c, kFlagFieldsFromCaps2);
    n += ReportPresentationIntervals(dst, c.PresentationIntervals);
    n += ReportFlagFields(dst, c, kFlagFieldsFromCursor);
    n += AppendReportLine(dst, L"[MaxTexture] : %d x %d\r\n", c.MaxTextureWidth, c.MaxTextureHeight);
    n += AppendReportLine(dst, L"[MaxVolumeExtent] : %d\r\n", c.MaxVolumeExtent);
    n += AppendReportLine(dst, L"[MaxTextureRepeat] : %d\r\n", c.MaxTextureRepeat);
    n += AppendReportLine(dst, L"[MaxTextureAspectRatio] : %d\r\n", c.MaxTextureAspectRatio);
    n += AppendReportLine(dst, L"[MaxAnisotropy] : %d\r\n", c.MaxAnisotropy);
    n += AppendReportLine(dst, L"[MaxVertexW] : %f\r\n", (double)c.MaxVertexW);
    n += AppendReportLine(dst, L"[GuardBand] : %f, %f, %f, %f\r\n", (double)c.GuardBandLeft, (double)c.GuardBandTop,
                          (double)c.GuardBandRight, (double)c.GuardBandBottom);
    n += AppendReportLine(dst, L"[ExtentsAdjust] : %f\r\n", (double)c.ExtentsAdjust);
    n += ReportFlagFields(dst, c, kStencilAndOps);
    n += AppendReportLine(dst, L"[MaxTextureBlendStages] : %d\r\n", c.MaxTextureBlendStages);
    n += AppendReportLine(dst, L"[MaxSimultaneousTextures] : %d\r\n", c.MaxSimultaneousTextures);
    n += ReportFlagFields(dst, c, kVertexProcessing);
    n += AppendReportLine(dst, L"[MaxActiveLights] : %d\r\n", c.MaxActiveLights);
    n += AppendReportLine(dst, L"[MaxUserClipPlanes] : %d\r\n", c.MaxUserClipPlanes);
    n += AppendReportLine(dst, L"[MaxVertexBlendMatrices] : %d\r\n", c.MaxVertexBlendMatrices);
    n += AppendReportLine(dst, L"[MaxVertexBlendMatrixIndex] : %d\r\n", c.MaxVertexBlendMatrixIndex);
    n += AppendReportLine(dst, L"[MaxPointSize] : %f\r\n", (double)c.MaxPointSize);
    n += AppendReportLine(dst, L"[MaxPrimitiveCount] : %d\r\n", c.MaxPrimitiveCount);
    n += AppendReportLine(dst, L"[MaxVertexIndex] : %d\r\n", c.MaxVertexIndex);
    n += AppendReportLine(dst, L"[MaxStreams] : %d\r\n", c.MaxStreams);
    n += AppendReportLine(dst, L"[MaxStreamStride] : %d\r\n", c.MaxStreamStride);
    n += AppendReportLine(dst, L"[VertexShaderVersion] : %08x\r\n", c.VertexShaderVersion);
    n += AppendReportLine(dst, L"[MaxVertexShaderConst] : %d\r\n", c.MaxVertexShaderConst);
    n += AppendReportLine(dst, L"[PixelShaderVersion] : %08x\r\n", c.PixelShaderVersion);
    return n;
}

int kcDXCaps::ReportDisplayModes(wchar_t* dst) const
{
    int n = AppendReportLine(dst, L"\r\n{%02d}-- display mode --\r\n", 11);
    for (uint32_t i = 0; modes && i < modeCount; ++i) {
        wchar_t format[32];
        kcD3DFormatName(format, modes[i].Format);
        n += AppendReportLine(dst, L"%d x %d (%d) [%s]\r\n", modes[i].Width, modes[i].Height, modes[i].RefreshRate,
                              format);
    }
    return n;
}

int kcDXCaps::ReportAudioDevices(wchar_t* dst) const
{
    int n = AppendReportLine(dst, L"\r\n{%02d}-- audio device info --\r\n", 12);
    int i = 0;
    for (const AudioDevice& d : audioDevices) {
        n += AppendReportLine(dst, L"device(%d) : %s\r\n", i, d.description);
        n += AppendReportLine(dst, L"module(%d) : %s\r\n", i, d.module);
        ++i;
    }
    return n;
}
