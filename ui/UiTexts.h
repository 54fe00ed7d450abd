#pragma once
// Every text the windows show that is not a message of a run or of the checks
// before a run (those are in engine/Messages.h), each once.

namespace txt {

// The maker's web address, opened by the logo and the text link.
constexpr const char* kMakerAddress = "https://larkspur.example/";

// Main window
constexpr const char* kSourceImageLabel = "Source Image";
constexpr const char* kDestImageLabel = "Destination Image";
constexpr const char* kSourceFolderLabel = "Source Folder";
constexpr const char* kDestFolderLabel = "Destination Folder";
constexpr const char* kSourceProfileLabel = "Source Color Profile";
constexpr const char* kDestProfileLabel = "Destination Color Profile";
constexpr const char* kIntentLabel = "Rendering Intent";
constexpr const char* kEmbedProfile = "&Embed profile in image";
constexpr const char* kMultipleFiles = "Process &Multiple Files";
constexpr const char* kUseEmbedded = "&Use embedded profile";
constexpr const char* kBlackPoint = "&Black point compensation";
constexpr const char* kKeepMetadata = "&Keep metadata";
constexpr const char* kCompressionLabel = "Compression";
constexpr const char* kDepthLabel = "Output depth";
// In the order of TiffCompression's codes as kCompressionCodes lists them.
constexpr const char* kCompressions[] = {"None", "LZW", "Deflate", "ZSTD"};
constexpr const char* kDepths[] = {"As source", "8-bit", "16-bit"};
constexpr const char* kBrowse = "...";
constexpr const char* kConvert = "&Convert";
constexpr const char* kQuit = "&Quit";
constexpr const char* kHelp = "&Help";
constexpr const char* kAboutMenu = "&About Chromaport...";
constexpr const char* kAboutShortcut = "Ctrl+I";

// The rendering intents, in the order of the job's intent index.
constexpr const char* kIntents[] = {"Defined by Source Profile", "Perceptual ",
                                    "Relative Colorimetric", "Saturation", "Absolute Colorimetric"};
constexpr int kAbsoluteIntent = 4;
constexpr int kDefaultIntent = 2;

// Tooltips of the main window
constexpr const char* kTipSourceImage = "Image you want to convert";
constexpr const char* kTipSourceFolder = "Folder containing images to convert.";
constexpr const char* kTipBrowse = "Click to browse";
constexpr const char* kTipSourceProfile = "Color profile of source image";
constexpr const char* kTipBrowseProfiles = "Click to browse colour profiles";
constexpr const char* kTipDestImage = "Name of converted image";
constexpr const char* kTipDestFolder = "Destination folder for converted images.";
constexpr const char* kTipDestProfile = "Color profile to convert to";
constexpr const char* kTipEmbed = "Check to embed profile in image. Use with care.";
constexpr const char* kTipIntent = "Rendering intent to use for conversion";
constexpr const char* kTipConvert = "Convert the image(s)";
constexpr const char* kTipMultipleFiles = "Check to convert an entire folder of images";
constexpr const char* kTipUseEmbedded =
    "Convert each image from its own embedded profile; the source profile, if given, serves "
    "images without one";
constexpr const char* kTipBlackPoint =
    "Map the source's black onto the destination's, keeping shadow detail (not with Absolute "
    "Colorimetric)";
constexpr const char* kTipKeepMetadata =
    "Copy XMP, IPTC, EXIF, date, artist, copyright, description and software tags";
constexpr const char* kTipCompression = "How the converted images are compressed";
constexpr const char* kTipDepth = "Bits per sample of the converted images";

// Choosers opened by the main window
constexpr const char* kSourceFolderTitle = "Select folder to load images from";
constexpr const char* kDestFolderTitle = "Select destination folder";
constexpr const char* kSourceImageTitle = "Select source image";
constexpr const char* kDestImageTitle = "Specify output image";
constexpr const char* kSourceProfileTitle = "Select profile for source image";
constexpr const char* kDestProfileTitle = "Select profile for output image";
constexpr const char* kTifFilter = "TIF Files (*.tif *.tiff);;All files (*)";
constexpr const char* kIccFilter = "ICC Files (*.icc *.icm)";
constexpr const char* kTifSuffix = "tif";
constexpr const char* kIccSuffix = "icc";
// The pattern of the folder chooser's (hidden) file-type box.
constexpr const char* kFolderChooserFilter = "*.tif";

// Where the main window remembers its image folders.
constexpr const char* kImageFoldersSection = "Image Folders";
constexpr const char* kSourcePathEntry = "Source Path";
constexpr const char* kDestPathEntry = "Destination Path";
// Where it remembers its profiles and choices.
constexpr const char* kOptionsSection = "Options";

// Folder chooser
constexpr const char* kSelectFolderTitle = "Select folder";
constexpr const char* kSelect = "Select";
constexpr const char* kCurrentFolder = "Current Folder";
constexpr const char* kInvalidFolder = "Invalid Folder";
constexpr const char* kCreateFolderQuestion = "This path does not exist. Do you want to create it?";
constexpr const char* kCouldNotCreateFolder = "Could not create folder:";

// Conversion status window
constexpr const char* kStatusTitle = "Conversion Status";
constexpr const char* kFileNamePlaceholder = "File Name";
constexpr const char* kFileCountPlaceholder = "File 0000 of 0000";
constexpr const char* kCancel = "Cancel";
constexpr const char* kElapsedFormat = "%02d:%02d:%02d";
constexpr const char* kPercentFormat = "%d%%";

// Help and About windows
constexpr const char* kHelpTitle = "Chromaport Help";
constexpr const char* kAboutTitle = "About Chromaport";
constexpr const char* kOk = "OK";
constexpr const char* kVersionPrefix = "Chromaport version: ";
constexpr const char* kVersionStampFormat = "%y%m%d.%H%M";
constexpr const char* kNoticeFormat = "Copyright (C) %Y Larkspur";

// The help text: these pieces joined with nothing between them. The lines
// are broken by hand where an address would otherwise meet the box's edge,
// which could break it in two.
constexpr const char* kHelpPieces[] = {
    "This application converts tiff images from one color space to another.\r\n\r\n",
    "1:\tSelect a source image (the one you want to convert) and the color space this image "
    "is in.\r\n",
    "\tNOTE: The \"Process Multiple Files\" option processes all tiff images in the source "
    "folder.\r\n",
    "\tCheck \"Use embedded profile\" to convert each image from its own profile; the source "
    "profile,\r\n\tif given, then serves images that carry none.\r\n\r\n",
    "2:\tChoose the image you want to create (can be new or existing file) and the color space "
    "you\r\n",
    "\twant it to have. If processing multiple files, this is the output folder that will be "
    "used.\r\n\r\n",
    "3:\tChoose the rendering intent to use. Absolute Colorimetric keeps the source's paper "
    "white, for\r\n\tproofing one press on another.\r\n",
    "\tCheck \"Black point compensation\" to map the source's black onto the destination's, "
    "keeping\r\n\tshadow detail (it has no effect with Absolute Colorimetric).\r\n\r\n",
    "4:\tCheck the \"Embed profile\" box only if you want to embed the destination profile in "
    "the\r\n\tconverted image.\r\n",
    "\tNOTE 1:\tMost photo lab printers work best with images NOT having embedded "
    "profiles.\r\n",
    "\tNOTE 2:\tEmbedding profiles is useful to evaluate how different rendering options "
    "work.\r\n",
    "\t\tOpen the converted image in a color managed application to see the difference\r\n",
    "\t\tbetween rendering intents.\r\n",
    "\tCheck \"Keep metadata\" to copy the images' XMP, IPTC, EXIF and descriptive tags, and "
    "choose\r\n\tthe compression and the bits per sample of the converted images.\r\n\r\n",
    "Press Ctrl+I for the About window.\r\n\r\n",
    "LIMITATIONS:\r\n\r\n",
    "- We offer NO SUPPORT for this tool. If you do not like it, do not use it.\r\n",
    "- Only 8-bit and 16-bit Tiff format images are supported. If jpeg output is needed, "
    "resave the "
    "converted images using a different application.\r\n",
    "- Some layered images are supported. All converted documents will be flattened.\r\n",
    "- Black Point Compensation is off unless checked: Relative Colorimetric rendering can "
    "then compress shadow detail.\r\n",
    "- Absolute Colorimetric conversions simulate the source's paper on the destination; "
    "use them for proofs, not for output.\r\n\r\n",
    "This product includes software developed by Little CMS (https://www.littlecms.com),\r\n",
    "The Qt Company (https://www.qt.io) and Silicon Graphics.",
};
} // namespace txt
