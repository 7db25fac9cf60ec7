#include "image/frame/message_table.h"

#include <cstddef>

namespace kvimg {

namespace {

struct Entry {
  unsigned number;
  const char* text;
};

constexpr Entry kMessages[] = {
    {1007, "1Incorrect sub-file type in %s"},
    {1008, "1Image width not found"},
    {1009, "1Image height not found"},
    {1011, "1Band address not found"},
    {1012, "1Incorrect pixel per bit"},
    {1014, "1Color palette not found"},
    {1015, "1Unable to open the file"},
    {1016, "1Memory allocation error"},
    {1017, "1Header reading error"},
    {1018, "1Header of file %s is incorrect."},
    {1019, "1Incorrect photometric ratio"},
    {1020, "1Problem while initializing decompression"},
    {1021, "1Image file reading error"},
    {1022, "1Data reading error"},
    {1024, "1Decompression error"},
    {1025, "1Internal error. Allocation returns offset"},
    {1026, "1Internal error: not enough memory"},
    {1027, "1Internal error: Trying to free a NULL pointer"},
    {1028, "1Internal error: Trying to free a NULL handle"},
    {1029, "1Internal error: Unable to unlock the pointer %04X:%04X."},
    {1030, "1Internal error: Unknown Windows memory handle"},
    {1031, "1Unable to retrieve local palette"},
    {1032, "1Incorrect data found in file %s."},
    {1033, "1Problem while reading data from file %s."},
    {1034, "1Problem while reading global palette from file %s."},
    {1036, "1%s has an unknown format"},
    {1037, "1Incorrect component number"},
    {1038, "1Unknown color composition type"},
    {1039, "1Impossible conversion"},
    {1040, "1Incompatibility in reading image"},
    {1041, "1Quantification error"},
    {1042, "1Unknown JFIF format"},
    {1043, "1File scan error"},
    {1044, "1NULL pointer error"},
    {1045, "1Coding of image %s is incorrect"},
    {1046, "1Decoding error : EOF encountered"},
    {1047, "1Decoding error : No ClearCode"},
    {1048, "1Manual break"},
    {1049, "1Color Space not supported"},
    {1050, "1Color Space incorrect"},
    {1051, "1Incorrect BMP or not supported"},
    {1052, "1Huffman table 0x%02x was not defined"},
    {1053, "1Use of undefined Huffman table"},
    {1054, "1I'm confused about the image width"},
    {1055, "1Sampling factors too large for interleaved scan"},
    {1056, "1Multiple-scan support was not compiled"},
    {1057, "1Huffman code size table overflow"},
    {1058, "1Too many components for interleaved scan"},
    {1059, "1Maximum image dimension for JFIF is 65535 pixels"},
    {1060, "1Erreur sampling factors"},
    {1061, "1Fractional downsampling not implemented yet"},
    {1062, "1CCIR601 downsampling not implemented yet"},
    {1063, "1Missing Huffman code table entry"},
    {1064, "1Unrecognized input file format"},
};

}  // namespace

const char* MessageText(unsigned number) {
  for (const Entry& entry : kMessages)
    if (entry.number == number) return entry.text;
  return nullptr;
}

}  // namespace kvimg
