#include "host/image_command.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/sample_picture.h"
#include "kv/image.h"
#include "platform/kernel/files.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/system.h"

namespace kvhost {

namespace {

// The library's exports, bound by name as the real host binds them.
struct ImageLibrary {
  decltype(&bIMG_InitInstance) init = nullptr;
  decltype(&bIMG_FinInstance) fin = nullptr;
  decltype(&nIMG_TypeImage) type = nullptr;
  decltype(&pstIMG_LectureImage) read = nullptr;
  decltype(&pszIMG_GetMessage) message = nullptr;
  decltype(&IMG_bConvert) convert = nullptr;
  decltype(&IMG_hDecrease) decrease = nullptr;

  bool Load() {
    // The host's exports live in libkvhost.so, which must be in the process
    // before kvimage is attached: the library checks for it then.
    if (kvp::GetModuleHandleA("kvhost.DLL") == nullptr &&
        kvp::LoadLibraryA("kvhost.DLL") == nullptr) {
      std::fprintf(stderr, "kvhost: libkvhost.so cannot be loaded\n");
      return false;
    }
    const kvp::HMODULE module = kvp::LoadLibraryA("kvimage.DLL");
    if (module == nullptr) {
      std::fprintf(stderr, "kvhost: libkvimage.so cannot be loaded\n");
      return false;
    }
    Bind(module, "bIMG_InitInstance", init);
    Bind(module, "bIMG_FinInstance", fin);
    Bind(module, "nIMG_TypeImage", type);
    Bind(module, "pstIMG_LectureImage", read);
    Bind(module, "pszIMG_GetMessage", message);
    Bind(module, "IMG_bConvert", convert);
    Bind(module, "IMG_hDecrease", decrease);
    if (!init || !fin || !type || !read || !message || !convert || !decrease) {
      std::fprintf(stderr, "kvhost: libkvimage.so lacks an export\n");
      return false;
    }
    if (init(0, nullptr, nullptr) != 1) {
      std::fprintf(stderr, "kvhost: kvimage did not start\n");
      return false;
    }
    return true;
  }

  template <typename F>
  static void Bind(kvp::HMODULE module, const char* name, F& function) {
    function = reinterpret_cast<F>(kvp::GetProcAddress(module, name));
  }

  std::string LastMessage() const {
    char text[400] = {};
    message(0, text, sizeof text - 1);
    return text;
  }
};

const char* TypeName(int type) {
  switch (type) {
    case kImageTypeGif:
      return "GIF";
    case kImageTypeTiff:
      return "TIFF";
    case kImageTypeJpeg:
      return "JPEG";
    default:
      return "unknown";
  }
}

void FreeRecord(ImageRecord* record) {
  if (record == nullptr) return;
  for (void* address : {static_cast<void*>(record->pixels), static_cast<void*>(record)}) {
    if (address == nullptr) continue;
    const kvp::HGLOBAL block = kvp::GlobalHandle(address);
    kvp::GlobalUnlock(block);
    kvp::GlobalFree(block);
  }
}

unsigned TableEntries(const ImageRecord& record) {
  return static_cast<uint16_t>(1u << record.header.biBitCount);
}

const KvRgbQuad* TableOf(const ImageRecord& record) {
  return reinterpret_cast<const KvRgbQuad*>(reinterpret_cast<const uint8_t*>(&record) +
                                            sizeof(ImageRecord));
}

// The record's bitmap as a packed bitmap in a new global block. With
// `trueColour` a palette bitmap is expanded to 24 bits (the GIF writer
// reduces a 24-bit bitmap).
kvp::HGLOBAL PackedBitmap(const ImageRecord& record, bool trueColour) {
  const KvBitmapInfoHeader& h = record.header;
  const uint32_t width = static_cast<uint32_t>(h.biWidth);
  const uint32_t height = static_cast<uint32_t>(h.biHeight);
  const bool expand = trueColour && h.biBitCount != 24;
  const unsigned entries = expand ? 0 : TableEntries(record);
  const unsigned bits = expand ? 24 : h.biBitCount;
  const size_t stride = ((size_t{bits} * width + 31) / 32) * 4;
  const size_t bytes = 40 + 4 * size_t{entries} + stride * height;
  const kvp::HGLOBAL block = kvp::GlobalAlloc(kvp::GHND, bytes);
  if (block == 0) return 0;
  auto* base = static_cast<uint8_t*>(kvp::GlobalLock(block));
  auto* header = reinterpret_cast<KvBitmapInfoHeader*>(base);
  *header = h;
  header->biBitCount = static_cast<uint16_t>(bits);
  header->biSizeImage = static_cast<uint32_t>(stride * height);
  header->biClrUsed = entries;
  std::memcpy(base + 40, TableOf(record), 4 * size_t{entries});
  uint8_t* rows = base + 40 + 4 * size_t{entries};
  if (!expand) {
    std::memcpy(rows, record.pixels, stride * height);
  } else {
    const size_t sourceStride = ((size_t{h.biBitCount} * width + 31) / 32) * 4;
    const unsigned perByte = 8 / h.biBitCount;
    const unsigned mask = (1u << h.biBitCount) - 1;
    for (uint32_t y = 0; y < height; ++y) {
      const uint8_t* from = record.pixels + y * sourceStride;
      uint8_t* to = rows + y * stride;
      for (uint32_t x = 0; x < width; ++x) {
        const unsigned shift = 8 - h.biBitCount * (x % perByte + 1);
        const KvRgbQuad& c = TableOf(record)[(from[x / perByte] >> shift) & mask];
        to[3 * x] = c.rgbBlue;
        to[3 * x + 1] = c.rgbGreen;
        to[3 * x + 2] = c.rgbRed;
      }
    }
  }
  kvp::GlobalUnlock(block);
  return block;
}

void Put16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// A BMP file: the 14-byte file header, then the record's bitmap header,
// colour table and rows as they are.
bool WriteBmp(const ImageRecord& record, const std::string& path) {
  const KvBitmapInfoHeader& h = record.header;
  const uint32_t table = 4 * TableEntries(record);
  const uint32_t offset = 14 + 40 + table;
  std::string out = "BM";
  Put32(out, offset + h.biSizeImage);
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, h.biSize);
  Put32(out, static_cast<uint32_t>(h.biWidth));
  Put32(out, static_cast<uint32_t>(h.biHeight));
  Put16(out, h.biPlanes);
  Put16(out, h.biBitCount);
  Put32(out, h.biCompression);
  Put32(out, h.biSizeImage);
  Put32(out, static_cast<uint32_t>(h.biXPelsPerMeter));
  Put32(out, static_cast<uint32_t>(h.biYPelsPerMeter));
  Put32(out, h.biClrUsed);
  Put32(out, h.biClrImportant);
  out.append(reinterpret_cast<const char*>(TableOf(record)), table);
  out.append(reinterpret_cast<const char*>(record.pixels), h.biSizeImage);
  const kvp::HANDLE file =
      kvp::CreateFileA(path.c_str(), kvp::GENERIC_WRITE, 0, nullptr, kvp::CREATE_ALWAYS,
                       kvp::FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == kvp::INVALID_HANDLE_VALUE) return false;
  kvp::DWORD done = 0;
  const bool written =
      kvp::WriteFile(file, out.data(), static_cast<kvp::DWORD>(out.size()), &done, nullptr) != 0 &&
      done == out.size();
  const bool closed = kvp::CloseHandle(file) != 0;
  if (!written || !closed) kvp::DeleteFileA(path.c_str());
  return written && closed;
}

std::string Extension(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

int Info(ImageLibrary& library, const char* path) {
  const int type = library.type(0, path, 0);
  ImageRecord* record = library.read(0, nullptr, path, 0, kImageReadHeaderOnly | kImageReadSilent);
  if (record == nullptr) {
    std::fprintf(stderr, "kvhost: %s: %s (type %s)\n", path, library.LastMessage().c_str(),
                 TypeName(type));
    return 1;
  }
  const KvBitmapInfoHeader& h = record->header;
  std::printf("%s: %s, %d x %d, %u bits, ", path, TypeName(type), h.biWidth, h.biHeight,
              h.biBitCount);
  if (h.biBitCount == 24)
    std::printf("true colour\n");
  else
    std::printf("%u colours\n", TableEntries(*record));
  FreeRecord(record);
  return 0;
}

bool ParseNumber(const char* text, int low, int high, int& value) {
  char* end = nullptr;
  const long parsed = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || parsed < low || parsed > high) return false;
  value = static_cast<int>(parsed);
  return true;
}

int Convert(ImageLibrary& library, const std::string& in, const std::string& out, int colours,
            int quality) {
  const std::string extension = Extension(out);
  if (extension != "bmp" && extension != "gif" && extension != "jpg" && extension != "jpeg") {
    std::fprintf(stderr, "kvhost: %s: the output must end in .bmp, .gif or .jpg\n", out.c_str());
    return 2;
  }
  ImageRecord* record = library.read(0, nullptr, in.c_str(), 0, kImageReadSilent);
  if (record == nullptr) {
    std::fprintf(stderr, "kvhost: %s: %s\n", in.c_str(), library.LastMessage().c_str());
    return 1;
  }
  bool written = false;
  if (extension == "bmp") {
    written = WriteBmp(*record, out);
  } else {
    const bool gif = extension == "gif";
    const kvp::HGLOBAL packed = PackedBitmap(*record, gif);
    written =
        packed != 0 && library.convert(packed, out.c_str(), gif ? kImageWriteGif : kImageWriteJpeg,
                                       gif ? colours : quality) == 1;
    if (packed != 0) kvp::GlobalFree(packed);
  }
  FreeRecord(record);
  if (!written) {
    const std::string message = library.LastMessage();
    std::fprintf(stderr, "kvhost: %s was not written%s%s\n", out.c_str(),
                 message.empty() ? "" : ": ", message.c_str());
    return 1;
  }
  std::printf("%s -> %s\n", in.c_str(), out.c_str());
  return 0;
}

// Writes a picture as JPEG, reads the JPEG back, writes it as a GIF reduced
// to 64 colours and reads that back, showing each file.
int Demo(ImageLibrary& library) {
  char temp[512];
  kvp::GetTempPathA(sizeof temp, temp);
  // Files of this process's own in the temporary folder, removed at the end.
  const std::string stem =
      std::string(temp) + "kvhost-image-demo-" + std::to_string(kvp::GetCurrentProcessId());
  const uint32_t width = 320, height = 200;
  const kvp::HGLOBAL picture = MakeSamplePicture(width, height);
  if (picture == 0) return 1;
  const std::string jpeg = stem + ".jpg";
  const std::string gif = stem + ".gif";
  const bool wrote = library.convert(picture, jpeg.c_str(), kImageWriteJpeg, 80) == 1;
  kvp::GlobalFree(picture);
  if (!wrote) return 1;
  int status = Info(library, jpeg.c_str());
  if (status == 0) status = Convert(library, jpeg, gif, 64, 75);
  if (status == 0) {
    // Recognised through the host's opener like any source.
    const kvp::HANDLE file = kvp::CreateFileA(gif.c_str(), kvp::GENERIC_READ, kvp::FILE_SHARE_READ,
                                              nullptr, kvp::OPEN_EXISTING, 0, nullptr);
    const kvp::DWORD size = file == kvp::INVALID_HANDLE_VALUE ? 0 : kvp::GetFileSize(file, nullptr);
    if (file != kvp::INVALID_HANDLE_VALUE) kvp::CloseHandle(file);
    const int type = library.type(0, gif.c_str(), 0);
    std::printf("%s: %s, %u bytes\n", gif.c_str(), TypeName(type), size);
    if (type != kImageTypeGif) status = 1;
  }
  if (status == 0) status = Info(library, gif.c_str());
  kvp::DeleteFileA(jpeg.c_str());
  kvp::DeleteFileA(gif.c_str());
  return status;
}

}  // namespace

const char* ImageUsage() {
  return "  kvhost image info FILE           type, size, depth and colours of an image\n"
         "  kvhost image convert IN OUT [options]\n"
         "                                   read IN and write OUT (.bmp, .gif or .jpg)\n"
         "  kvhost image demo                write a JPEG, read it back, write and read a GIF\n"
         "options of image convert:\n"
         "  --colors N     colours of a GIF (8..256; default 256)\n"
         "  --quality Q    quality of a JPEG (0..100; default 75)\n";
}

int ImageCommand(int argc, char** argv) {
  if (argc < 1) {
    std::fprintf(stderr, "usage:\n%s", ImageUsage());
    return 2;
  }
  const std::string sub = argv[0];
  int colours = 256, quality = 75;
  std::vector<std::string> operands;
  int i = 1;
  while (i < argc) {
    const std::string option = argv[i];
    if (option.rfind("--", 0) != 0) {
      operands.push_back(option);
      ++i;
      continue;
    }
    const bool known = option == "--colors" || option == "--quality";
    if (!known || i + 1 >= argc ||
        !(option == "--colors" ? ParseNumber(argv[i + 1], 8, 256, colours)
                               : ParseNumber(argv[i + 1], 0, 100, quality))) {
      std::fprintf(stderr, "kvhost: image %s: bad option %s\nusage:\n%s", sub.c_str(),
                   option.c_str(), ImageUsage());
      return 2;
    }
    i += 2;
  }
  const bool usable = (sub == "info" && operands.size() == 1 && argc == 2) ||
                      (sub == "convert" && operands.size() == 2) || (sub == "demo" && argc == 1);
  if (!usable) {
    std::fprintf(stderr, "usage:\n%s", ImageUsage());
    return 2;
  }
  ImageLibrary library;
  if (!library.Load()) return 1;
  int status = 0;
  if (sub == "info") status = Info(library, operands[0].c_str());
  if (sub == "convert") status = Convert(library, operands[0], operands[1], colours, quality);
  if (sub == "demo") status = Demo(library);
  library.fin(0);
  return status;
}

}  // namespace kvhost
