// Recognition and reading through the host's source opener.
#include <cstring>

#include "image/frame/library_state.h"
#include "image/read/decoder.h"
#include "image/read/progress.h"
#include "image/read/read_feedback.h"
#include "image/read/recognise.h"

namespace kvimg {

namespace {

// The source record lives on the caller's stack for one call; the host's
// opener fills it.
bool OpenSource(ImageSource& source, int32_t value, const char* name, int16_t kind, int32_t extra) {
  std::memset(&source, 0, sizeof source);
  const BmpOpenExportFn open = State().openExport;
  if (open == nullptr || name == nullptr) return false;
  return open(&source, name, extra, kind, value) != 0;
}

void CloseSource(ImageSource& source) {
  if (source.close != nullptr) source.close(&source);
}

ImageRecord* ReadOpenSource(ImageSource& source, const char* name, bool wantPixels) {
  ByteSource bytes(source);
  const Recognition recognition = RecogniseSource(bytes);
  if (!bytes.Rewind()) {
    ReportMessage(kMsgUnknownFormat, source.name);
    return nullptr;
  }
  const DecodeFunction decode = FindDecoder(recognition.type);
  if (decode == nullptr) {
    ReportMessage(kMsgUnknownFormat, source.name);
    return nullptr;
  }
  const DecodeRequest request{bytes, source.name, wantPixels, recognition};
  return decode(request);
}

}  // namespace

}  // namespace kvimg

using kvimg::State;

extern "C" {

int16_t KV_CALL nIMG_TypeImage2(int32_t value, const char* name, int16_t kind, int32_t extra) {
  if (!State().hostLoadedAtAttach) return kImageTypeUnknown;
  if (kind == 0 && name != nullptr && name[0] == '\0') return kImageTypeNone;
  ImageSource source;
  if (!kvimg::OpenSource(source, value, name, kind, extra)) return kImageTypeUnknown;
  kvimg::ByteSource bytes(source);
  const kvimg::Recognition recognition = kvimg::RecogniseSource(bytes);
  bytes.Rewind();
  kvimg::CloseSource(source);
  return recognition.type;
}

int16_t KV_CALL nIMG_TypeImage(int32_t value, const char* name, int16_t kind) {
  return nIMG_TypeImage2(value, name, kind, -1);
}

ImageRecord* KV_CALL pstIMG_LectureImage2(int32_t value, void* window, const char* name,
                                          int16_t kind, uint16_t flags, int32_t extra) {
  kvimg::LibraryState& state = State();
  if (!state.hostLoadedAtAttach) return nullptr;
  state.lastMessage = 0;
  state.silent = (flags & kImageReadSilent) != 0;
  kvimg::ResetProgress();
  const bool wantPixels = (flags & kImageReadHeaderOnly) == 0;

  // The feedback (wait window or hourglass, the disabled window) is undone
  // when this goes out of scope, whatever the outcome.
  kvimg::ReadFeedback feedback(window, name, flags, extra);
  ImageSource source;
  if (!kvimg::OpenSource(source, value, name, kind, extra)) {
    kvimg::ReportMessage(kvimg::kMsgUnknownFormat, name == nullptr ? "" : name);
    return nullptr;
  }
  feedback.SourceOpened(source.name);
  ImageRecord* record = kvimg::ReadOpenSource(source, name, wantPixels);
  kvimg::CloseSource(source);
  return record;
}

ImageRecord* KV_CALL pstIMG_LectureImage(int32_t value, void* window, const char* name,
                                         int16_t kind, uint16_t flags) {
  return pstIMG_LectureImage2(value, window, name, kind, flags, -1);
}

}  // extern "C"
