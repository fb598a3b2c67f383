#pragma once

// The enumerations of Tavimo's type library, with their values. Members carry their
// family's prefix (ZoomFitToControl, MouseModePan, PdfRightCanPrint), except those of
// QuennetStatus, the status most calls return. Every enumeration is 32 bits wide; a
// value outside the named members can still be passed and returned where a call says so.

#include <tavimo/export.h>

#include <cstdint>

namespace tavimo {
inline namespace v0 {

// The status of most operations, and the viewer's GetStat. 0 to 21 are the GDI+ status
// codes under their GDI+ names; the rest are the library's own. The Twain, barcode, OCR
// and template codes belong to the product family and are never returned by this library.
enum QuennetStatus : int32_t {
    OK = 0,
    GenericError = 1,
    InvalidParameter = 2, // also: an unknown ImageId, an index outside the pages
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9, // also: the codec plug-in is needed but absent
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13, // no decoder reads the data
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18, // the image core is not started on this thread
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
    ProfileNotFound = 21,
    UnsupportedImageFormat = 22, // a frame or page query on an image without them
    TwainError = 30,
    WrongPemdraVersion = 31,
    BadTwainState = 32,
    TwainTransferCanceled = 33,
    TwainTransferError = 34,
    TwainPdfMustBeCreatedFirst = 35,
    TwainInvalidTransferMode = 36,
    WrongGdiplusVersion = 40,
    CanNotCreateFile = 41,
    InvalidBarCode = 50,
    NotIndexedPixelFormat = 61,
    UnsupportedPixelFormat = 62,
    InternetOpenError = 100,
    InternetConnectError = 101,
    InternetHttpOpenRequestError = 102,
    InternetHttpQueryError = 103,
    InternetFtpGetFileError = 104,
    InternetHttpSendRequestError = 105,
    InternetHttpInvalidFileLength = 106,
    InternetHttpTransferError = 107,
    InternetFtpWriteFileError = 108,
    PdfCanNotBeDecrypted = 200,
    PdfPasswordNeeded = 201,
    PdfBadPassword = 202,
    PdfCanNotOpenFile = 203,
    PdfRenderingPageError = 204,
    PdfUnexpectedError = 205,
    PdfPlugNotLoaded = 210,
    PdfErrorAddingImage = 230,
    KelvraDllRequired = 300, // an IPTC query without the codec plug-in
    WrongKelvraVersion = 301,
    TemplateNotFound = 400,
    OCRDictionaryNotFound = 500,
    BarcodeReader1DPluginNotLoaded = 600,
    BarcodeReaderDataMatrixPluginNotLoaded = 700,
};

// ---- The viewer controls -------------------------------------------------------------

// ZoomMode. The controls use 7 (an area zoom) and 10 (the selection rectangle) inside a
// layout only; afterwards the mode reads ZoomCustom.
enum ViewerZoomMode : int32_t {
    Zoom100 = 1,           // one image pixel per control pixel
    ZoomFitToControl = 2,  // the whole image visible, proportions kept
    ZoomWidthControl = 3,  // the image's width fills the view
    ZoomCustom = 4,        // Zoom as set
    ZoomHeightControl = 5, // the image's height fills the view
    ZoomToControl = 6,     // stretched to the view in both directions
};

// ImageAlignment: where an image larger than the view is scrolled to. 3 is not a member;
// 3 or a value above 9 keeps the relative scroll position.
enum ViewerImageAlignment : int32_t {
    ImageAlignmentMiddleLeft = 0,
    ImageAlignmentMiddleRight = 1,
    ImageAlignmentMiddleCenter = 2,
    ImageAlignmentTopLeft = 4,
    ImageAlignmentTopRight = 5,
    ImageAlignmentTopCenter = 6,
    ImageAlignmentBottomLeft = 7,
    ImageAlignmentBottomRight = 8,
    ImageAlignmentBottomCenter = 9,
};

// ImagePosition: where an image smaller than the view is placed; the values of
// ViewerImageAlignment. 3 or a value above 9 keeps the previous offset.
enum ViewerImagePosition : int32_t {
    ImagePositionMiddleLeft = 0,
    ImagePositionMiddleRight = 1,
    ImagePositionMiddleCenter = 2,
    ImagePositionTopLeft = 4,
    ImagePositionTopRight = 5,
    ImagePositionTopCenter = 6,
    ImagePositionBottomLeft = 7,
    ImagePositionBottomRight = 8,
    ImagePositionBottomCenter = 9,
};

// MouseMode: what dragging with MouseButtonForMouseMode does.
enum ViewerMouseMode : int32_t {
    MouseModeDefault = 0,       // nothing
    MouseModeAreaSelection = 1, // draws the selection rectangle
    MouseModePan = 2,           // moves the image
    MouseModeAutoZoom = 3,      // draws a rectangle and zooms to it
};

// MouseButtonForMouseMode, and the Button argument of the mouse events.
enum MouseButton : int32_t {
    MouseButtonLeft = 1,
    MouseButtonRight = 2,
    MouseButtonMiddle = 4,
};

// MouseWheelMode: what a wheel turn does.
enum ViewerMouseWheelMode : int32_t {
    MouseWheelZoom = 0,
    MouseWheelVerticalScroll = 1,
    MouseWheelPageChange = 2,
};

// ViewerQuality: the interpolation of the view (a zoom of exactly 1 always draws nearest
// neighbour).
enum ViewerQuality : int32_t {
    ViewerQualityLow = 0, // nearest neighbour
    ViewerQualityBilinear = 1,
    ViewerQualityBicubic = 2,
    ViewerQualityBilinearHQ = 3,
    ViewerQualityBicubicHQ = 4,
};

// The GDI+ interpolation modes, under their GDI+ names and values.
enum InterpolationMode : int32_t {
    InterpolationModeDefault = 0,
    InterpolationModeLowQuality = 1,
    InterpolationModeHighQuality = 2,
    InterpolationModeBilinear = 3,
    InterpolationModeBicubic = 4,
    InterpolationModeNearestNeighbor = 5,
    InterpolationModeHighQualityBilinear = 6,
    InterpolationModeHighQualityBicubic = 7,
};

// RectBorderStyle: the line of the selection rectangle.
enum ViewerRectBorderStyle : int32_t {
    RectBorderStyleTransparent = 0,
    RectBorderStyleSolid = 1,
    RectBorderStyleDash = 2,
    RectBorderStyleDot = 3,
    RectBorderStyleDashDot = 4,
    RectBorderStyleDashDotDot = 5,
    RectBorderStyleInsideSolid = 6,
};

// RectDrawMode: the binary raster operation the selection rectangle is drawn with (the
// GDI R2_ codes); RectDrawModeInvert and RectDrawModeXorpen show it over any image.
enum ViewerRectDrawMode : int32_t {
    RectDrawModeBlackness = 1,
    RectDrawModeNotmergepen = 2,
    RectDrawModeMasknotpen = 3,
    RectDrawModeNotcopypen = 4,
    RectDrawModeMaskpennot = 5,
    RectDrawModeInvert = 6,
    RectDrawModeXorpen = 7,
    RectDrawModeNotmaskpen = 8,
    RectDrawModeMaskpen = 9,
    RectDrawModeNotxorpen = 10,
    RectDrawModeNop = 11,
    RectDrawModeMergenotpen = 12,
    RectDrawModeCopypen = 13,
    RectDrawModeMergepennot = 14,
    RectDrawModeMergepen = 15,
    RectDrawModeWhiteness = 16,
};

// BorderStyle of the control window.
enum ViewerBorderStyle : int32_t {
    BorderNone = 0,
    BorderFixedSingle = 1,
};

// Appearance of the control window.
enum ViewerAppearance : int32_t {
    AppearanceFlat = 0,
    Appearance3D = 1,
};

// BackStyle: a transparent control shows the image's transparent pixels as holes.
enum ViewerBackStyleMode : int32_t {
    bkTransparent = 0,
    bkOpaque = 1,
};

// MousePointer: the pointer over the control; MousePointerCustom shows the icon given
// to SetMouseIcon.
enum MousePointers : int32_t {
    MousePointerDefault = 0,
    MousePointerArrow = 1,
    MousePointerCross = 2,
    MousePointerIBeam = 3,
    MousePointerIcon = 4,
    MousePointerSize = 5,
    MousePointerSizeNESW = 6,
    MousePointerSizeNS = 7,
    MousePointerSizeNWSE = 8,
    MousePointerSizeWE = 9,
    MousePointerUpArrow = 10,
    MousePointerHourglass = 11,
    MousePointerNoDrop = 12,
    MousePointerArrowHourglass = 13,
    MousePointerArrowQuestion = 14,
    MousePointerSizeAll = 15,
    MousePointerCustom = 99,
};

// ---- Images ----------------------------------------------------------------------------

// Rotation and flipping, as GDI+ numbers them: a clockwise turn, then for the FlipX
// members a horizontal flip. The FlipY and FlipXY members are aliases.
enum RotateFlipType : int32_t {
    RotateNoneFlipNone = 0,
    Rotate90FlipNone = 1,
    Rotate180FlipNone = 2,
    Rotate270FlipNone = 3,
    RotateNoneFlipX = 4,
    Rotate90FlipX = 5,
    Rotate180FlipX = 6,
    Rotate270FlipX = 7,
    RotateNoneFlipY = Rotate180FlipX,
    Rotate90FlipY = Rotate270FlipX,
    Rotate180FlipY = RotateNoneFlipX,
    Rotate270FlipY = Rotate90FlipX,
    RotateNoneFlipXY = Rotate180FlipNone,
    Rotate90FlipXY = Rotate270FlipNone,
    Rotate180FlipXY = RotateNoneFlipNone,
    Rotate270FlipXY = Rotate90FlipNone,
};

// Pixel formats, the GDI+ values: bits 8-15 hold the bits per pixel, bit 16 (65536)
// marks an indexed format (with a palette).
enum PixelFormats : int32_t {
    PixelFormatUndefined = 0,
    PixelFormat1bppIndexed = 0x00030101,
    PixelFormat4bppIndexed = 0x00030402,
    PixelFormat8bppIndexed = 0x00030803,
    PixelFormat16bppGrayScale = 0x00101004,
    PixelFormat16bppRGB555 = 0x00021005,
    PixelFormat16bppRGB565 = 0x00021006,
    PixelFormat16bppARGB1555 = 0x00061007,
    PixelFormat24bppRGB = 0x00021808,
    PixelFormat32bppRGB = 0x00022009,
    PixelFormat32bppARGB = 0x0026200A,
    PixelFormat32bppPARGB = 0x000E200B,
    PixelFormat48bppRGB = 0x0010300C,
    PixelFormat64bppARGB = 0x0034400D,
    PixelFormat64bppPARGB = 0x001C400E,
};

// The types of image properties (EXIF tags), the GDI+ values.
enum TagTypes : int32_t {
    TagTypeByte = 1,
    TagTypeASCII = 2,
    TagTypeShort = 3,
    TagTypeLong = 4,
    TagTypeRational = 5, // two longs: numerator, denominator
    TagTypeSByte = 6,
    TagTypeUndefined = 7,
    TagTypeSShort = 8,
    TagTypeSLong = 9,
    TagTypeSRational = 10,
    TagTypeFloat = 11,
    TagTypeDouble = 12,
};

// Image property (EXIF, GPS, TIFF and GIF) tag identifiers. The member is "Tag" and the
// tag's name as the library reports it, spelling included (TagTransferFuncition,
// TagJPEroc, TagPrintIMData).
enum Tags : int32_t {
    TagGpsVer = 0x0000,
    TagGpsLatitudeRef = 0x0001,
    TagGpsLatitude = 0x0002,
    TagGpsLongitudeRef = 0x0003,
    TagGpsLongitude = 0x0004,
    TagGpsAltitudeRef = 0x0005,
    TagGpsAltitude = 0x0006,
    TagGpsGpsTime = 0x0007,
    TagGpsGpsSatellites = 0x0008,
    TagGpsGpsStatus = 0x0009,
    TagGpsGpsMeasureMode = 0x000A,
    TagGpsGpsDop = 0x000B,
    TagGpsSpeedRef = 0x000C,
    TagGpsSpeed = 0x000D,
    TagGpsTrackRef = 0x000E,
    TagGpsTrack = 0x000F,
    TagGpsImgDirRef = 0x0010,
    TagGpsImgDir = 0x0011,
    TagGpsMapDatum = 0x0012,
    TagGpsDestLatRef = 0x0013,
    TagGpsDestLat = 0x0014,
    TagGpsDestLongRef = 0x0015,
    TagGpsDestLong = 0x0016,
    TagGpsDestBearRef = 0x0017,
    TagGpsDestBear = 0x0018,
    TagGpsDestDistRef = 0x0019,
    TagGpsDestDist = 0x001A,
    TagProcessingMethod = 0x001B,
    TagGpsAreaInformation = 0x001C,
    TagGpsDateStamp = 0x001D,
    TagGpsDifferential = 0x001E,
    TagExifAttributeInformation = 0x00E1,
    TagExifExtendedData = 0x00E2,
    TagNewSubfileType = 0x00FE,
    TagSubFileType = 0x00FF,
    TagImageWidth = 0x0100,
    TagImageHeight = 0x0101,
    TagBitsPerSample = 0x0102,
    TagCompression = 0x0103,
    TagPhotometricInterp = 0x0106,
    TagThreshHolding = 0x0107,
    TagCellWidth = 0x0108,
    TagCellHeight = 0x0109,
    TagFillOrder = 0x010A,
    TagDocumentName = 0x010D,
    TagImageDescription = 0x010E,
    TagEquipMake = 0x010F,
    TagEquipModel = 0x0110,
    TagStripOffsets = 0x0111,
    TagOrientation = 0x0112,
    TagSamplesPerPixel = 0x0115,
    TagRowsPerStrip = 0x0116,
    TagStripBytesCount = 0x0117,
    TagMinSampleValue = 0x0118,
    TagMaxSampleValue = 0x0119,
    TagXResolution = 0x011A,
    TagYResolution = 0x011B,
    TagPlanarConfig = 0x011C,
    TagPageName = 0x011D,
    TagXPosition = 0x011E,
    TagYPosition = 0x011F,
    TagFreeOffset = 0x0120,
    TagFreeByteCounts = 0x0121,
    TagGrayResponseUnit = 0x0122,
    TagGrayResponseCurve = 0x0123,
    TagT4Option = 0x0124,
    TagT6Option = 0x0125,
    TagResolutionUnit = 0x0128,
    TagPageNumber = 0x0129,
    TagTransferFuncition = 0x012D,
    TagSoftwareUsed = 0x0131,
    TagDateTime = 0x0132,
    TagArtist = 0x013B,
    TagHostComputer = 0x013C,
    TagPredictor = 0x013D,
    TagWhitePoint = 0x013E,
    TagPrimaryChromaticities = 0x013F,
    TagColorMap = 0x0140,
    TagHalftoneHints = 0x0141,
    TagTileWidth = 0x0142,
    TagTileLength = 0x0143,
    TagTileOffset = 0x0144,
    TagTileByteCounts = 0x0145,
    TagInkSet = 0x014C,
    TagInkNames = 0x014D,
    TagNumberOfInks = 0x014E,
    TagDotRange = 0x0150,
    TagTargetPrinter = 0x0151,
    TagExtraSamples = 0x0152,
    TagSampleFormat = 0x0153,
    TagSMinSampleValue = 0x0154,
    TagSMaxSampleValue = 0x0155,
    TagTransferRange = 0x0156,
    TagJPEroc = 0x0200,
    TagJPEGInterFormat = 0x0201,
    TagJPEGInterLength = 0x0202,
    TagJPEGRestartInterval = 0x0203,
    TagJPEGLosslessPredictors = 0x0205,
    TagJPEGPointTransforms = 0x0206,
    TagJPEGQTables = 0x0207,
    TagJPEGDCTables = 0x0208,
    TagJPEGACTables = 0x0209,
    TagYCbCrCoefficients = 0x0211,
    TagYCbCrSubsampling = 0x0212,
    TagYCbCrPositioning = 0x0213,
    TagREFBlackWhite = 0x0214,
    TagXMLPackets = 0x02BC,
    TagGamma = 0x0301,
    TagICCProfileDescriptor = 0x0302,
    TagSRGBRenderingIntent = 0x0303,
    TagImageTitle = 0x0320,
    TagResolutionXUnit = 0x5001,
    TagResolutionYUnit = 0x5002,
    TagResolutionXLengthUnit = 0x5003,
    TagResolutionYLengthUnit = 0x5004,
    TagPrintFlags = 0x5005,
    TagPrintFlagsVersion = 0x5006,
    TagPrintFlagsCrop = 0x5007,
    TagPrintFlagsBleedWidth = 0x5008,
    TagPrintFlagsBleedWidthScale = 0x5009,
    TagHalftoneLPI = 0x500A,
    TagHalftoneLPIUnit = 0x500B,
    TagHalftoneDegree = 0x500C,
    TagHalftoneShape = 0x500D,
    TagHalftoneMisc = 0x500E,
    TagHalftoneScreen = 0x500F,
    TagJPEGQuality = 0x5010,
    TagGridSize = 0x5011,
    TagThumbnailFormat = 0x5012,
    TagThumbnailWidth = 0x5013,
    TagThumbnailHeight = 0x5014,
    TagThumbnailColorDepth = 0x5015,
    TagThumbnailPlanes = 0x5016,
    TagThumbnailRawBytes = 0x5017,
    TagThumbnailSize = 0x5018,
    TagThumbnailCompressedSize = 0x5019,
    TagColorTransferFunction = 0x501A,
    TagThumbnailData = 0x501B,
    TagThumbnailImageWidth = 0x5020,
    TagThumbnailImageHeight = 0x5021,
    TagThumbnailBitsPerSample = 0x5022,
    TagThumbnailCompression = 0x5023,
    TagThumbnailPhotometricInterp = 0x5024,
    TagThumbnailImageDescription = 0x5025,
    TagThumbnailEquipMake = 0x5026,
    TagThumbnailEquipModel = 0x5027,
    TagThumbnailStripOffsets = 0x5028,
    TagThumbnailOrientation = 0x5029,
    TagThumbnailSamplesPerPixel = 0x502A,
    TagThumbnailRowsPerStrip = 0x502B,
    TagThumbnailStripBytesCount = 0x502C,
    TagThumbnailResolutionX = 0x502D,
    TagThumbnailResolutionY = 0x502E,
    TagThumbnailPlanarConfig = 0x502F,
    TagThumbnailResolutionUnit = 0x5030,
    TagThumbnailTransferFunction = 0x5031,
    TagThumbnailSoftwareUsed = 0x5032,
    TagThumbnailDateTime = 0x5033,
    TagThumbnailArtist = 0x5034,
    TagThumbnailWhitePoint = 0x5035,
    TagThumbnailPrimaryChromaticities = 0x5036,
    TagThumbnailYCbCrCoefficients = 0x5037,
    TagThumbnailYCbCrSubsampling = 0x5038,
    TagThumbnailYCbCrPositioning = 0x5039,
    TagThumbnailRefBlackWhite = 0x503A,
    TagThumbnailCopyRight = 0x503B,
    TagLuminanceTable = 0x5090,
    TagChrominanceTable = 0x5091,
    TagFrameDelay = 0x5100,
    TagLoopCount = 0x5101,
    TagPixelUnit = 0x5110,
    TagPixelPerUnitX = 0x5111,
    TagPixelPerUnitY = 0x5112,
    TagPaletteHistogram = 0x5113,
    TagWangAnnotations = 0x80A4,
    TagCopyright = 0x8298,
    TagExifExposureTime = 0x829A,
    TagExifFNumber = 0x829D,
    TagPhotoshopSettings = 0x8649,
    TagExifIFD = 0x8769,
    TagICCProfile = 0x8773,
    TagExifExposureProg = 0x8822,
    TagExifSpectralSense = 0x8824,
    TagExifISOSpeed = 0x8827,
    TagExifOECF = 0x8828,
    TagTimeZoneOffset = 0x882A,
    TagExifVer = 0x9000,
    TagExifDTOrig = 0x9003,
    TagExifDTDigitized = 0x9004,
    TagExifCompConfig = 0x9101,
    TagExifCompBPP = 0x9102,
    TagExifShutterSpeed = 0x9201,
    TagExifAperture = 0x9202,
    TagExifBrightness = 0x9203,
    TagExifExposureBias = 0x9204,
    TagExifMaxAperture = 0x9205,
    TagExifSubjectDist = 0x9206,
    TagExifMeteringMode = 0x9207,
    TagExifLightSource = 0x9208,
    TagExifFlash = 0x9209,
    TagExifFocalLength = 0x920A,
    TagSubjectLocation = 0x9214,
    TagExifMakerNote = 0x927C,
    TagExifUserComment = 0x9286,
    TagExifDTSubsec = 0x9290,
    TagExifDTOrigSS = 0x9291,
    TagExifDTDigSS = 0x9292,
    TagExifFPXVer = 0xA000,
    TagExifColorSpace = 0xA001,
    TagExifPixXDim = 0xA002,
    TagExifPixYDim = 0xA003,
    TagExifRelatedWav = 0xA004,
    TagExifInterop = 0xA005,
    TagExifFlashEnergy = 0xA20B,
    TagExifSpatialFR = 0xA20C,
    TagExifFocalXRes = 0xA20E,
    TagExifFocalYRes = 0xA20F,
    TagExifFocalResUnit = 0xA210,
    TagExifSubjectLoc = 0xA214,
    TagExifExposureIndex = 0xA215,
    TagExifSensingMethod = 0xA217,
    TagExifFileSource = 0xA300,
    TagExifSceneType = 0xA301,
    TagExifCfaPattern = 0xA302,
    TagCustomRendered = 0xA401,
    TagExposureMode = 0xA402,
    TagWhiteBalance = 0xA403,
    TagDigitalZoomRatio = 0xA404,
    TagFocalLengthIn35mmFilm = 0xA405,
    TagSceneCaptureType = 0xA406,
    TagGainControl = 0xA407,
    TagContrast = 0xA408,
    TagSaturation = 0xA409,
    TagSharpness = 0xA40A,
    TagDeviceSettingDescription = 0xA40B,
    TagSubjectDistanceRange = 0xA40C,
    TagPrintIMData = 0xC4A5,
};

// ---- The PDF writer ------------------------------------------------------------------

// The encryption of a document written by cPDF.
enum PdfEncryption : int32_t {
    PdfEncryptionNone = 0,
    PdfEncryption40BitRC4 = 1,
    PdfEncryption128BitRC4 = 2,
};

// Rights granted to a reader of an encrypted document without the owner password: bits,
// combined with |. PdfRightUndefined grants all.
enum PdfRight : int32_t {
    PdfRightUndefined = -1,
    PdfRightCanView = 0,
    PdfRightCanPrint = 1,
    PdfRightCanCopy = 2,
    PdfRightCanModify = 4,
    PdfRightCanAddNotes = 8,
    PdfRightCanFillFields = 16,
    PdfRightCanCopyAccess = 32,
    PdfRightCanAssemble = 64,
    PdfRightCanPrintFull = 128,
};

// ---- Printing ------------------------------------------------------------------------

// The status of cPrinter's last print (GetPrinterStat). Where a rasterised PDF page
// cannot be registered as an image, the image core's status for that failure is kept
// instead, so other values occur.
enum PrinterStatus : int32_t {
    PrinterOK = 0,
    PrinterErrorSelectingFrame = 2,
    PrinterGdiplusWriteError = 7,
    PrinterOutOfMemory = 8,
    PrinterUnexpectedError = 10,
    PrinterPdfRenderingPageError = 30,
    PrinterPdfCanNotLoadTemporaryFile = 31,
    PrinterPdfUnexpectedError = 35,
};

// Print quality (cPrinter GetQuality / SetQuality); a positive value is a resolution in
// dots per inch.
enum PrintQuality : int32_t {
    PrintQualityDraft = -1,
    PrintQualityLowResolution = -2,
    PrintQualityMediumResolution = -3,
    PrintQualityHightResolution = -4,
};

} // namespace v0
} // namespace tavimo
