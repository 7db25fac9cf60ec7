// A recording and the system's contexts side by side: calls on a recording
// are recorded, calls on a memory context are not, a recording's handle is
// never taken for another object, and objects deleted while recorded leave
// their deletion in the records. The same test runs on Linux and under Wine.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/gdi/device_context.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/pens_brushes.h"

namespace {

using namespace kvp;

struct Record {
  WORD function;
  std::vector<WORD> parameters;
};

uint16_t Word(const std::vector<uint8_t>& bits, size_t at) {
  return static_cast<uint16_t>(bits[at] | (bits[at + 1] << 8));
}

// The records after the 18-byte header, up to and with the end record.
std::vector<Record> Records(const std::vector<uint8_t>& bits) {
  std::vector<Record> records;
  size_t at = 18;
  while (at + 6 <= bits.size()) {
    const uint32_t words = Word(bits, at) | (static_cast<uint32_t>(Word(bits, at + 2)) << 16);
    if (words < 3 || at + 2 * static_cast<size_t>(words) > bits.size()) {
      ADD_FAILURE() << "record at " << at << " runs past the bits";
      break;
    }
    Record record{Word(bits, at + 4), {}};
    for (uint32_t i = 3; i < words; ++i) record.parameters.push_back(Word(bits, at + 2 * i));
    records.push_back(record);
    if (record.function == META_EOF) break;
    at += 2 * static_cast<size_t>(words);
  }
  return records;
}

std::vector<uint8_t> Finish(HDC recording) {
  HMETAFILE metafile = CloseMetaFile(recording);
  EXPECT_NE(metafile, nullptr);
  std::vector<uint8_t> bits(GetMetaFileBitsEx(metafile, 0, nullptr));
  EXPECT_EQ(GetMetaFileBitsEx(metafile, static_cast<UINT>(bits.size()), bits.data()), bits.size());
  EXPECT_TRUE(DeleteMetaFile(metafile));
  EXPECT_EQ(GetMetaFileBitsEx(metafile, 0, nullptr), 0u) << "a deleted metafile has no bits";
  return bits;
}

TEST(MetafileDispatch, RecordingAndMemoryContextStayApart) {
  HDC recording = CreateMetaFileA(nullptr);
  ASSERT_NE(recording, nullptr);
  HDC memory = CreateCompatibleDC(nullptr);
  ASSERT_NE(memory, nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(memory, 8, 8);
  ASSERT_NE(bitmap, nullptr);
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);

  EXPECT_EQ(GetObjectType(recording), OBJ_METADC);
  EXPECT_EQ(GetDeviceCaps(recording, TECHNOLOGY), DT_METAFILE);
  EXPECT_EQ(GetDeviceCaps(memory, TECHNOLOGY), DT_RASDISPLAY);
  SIZE size{};
  EXPECT_FALSE(GetTextExtentPoint32A(recording, "abc", 3, &size)) << "a recording cannot measure";
  EXPECT_FALSE(BitBlt(memory, 0, 0, 4, 4, recording, 0, 0, SRCCOPY));

  // Drawing on the memory context records nothing.
  EXPECT_TRUE(Rectangle(memory, 1, 1, 6, 6));
  EXPECT_TRUE(MoveToEx(memory, 0, 0, nullptr));
  EXPECT_TRUE(LineTo(memory, 7, 7));
  EXPECT_TRUE(Rectangle(recording, 10, 20, 30, 40));

  SelectObject(memory, oldBitmap);
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_TRUE(DeleteDC(memory));

  const std::vector<Record> records = Records(Finish(recording));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].function, META_RECTANGLE);
  EXPECT_EQ(records[0].parameters, (std::vector<WORD>{40, 30, 20, 10}));
  EXPECT_EQ(records[1].function, META_EOF);
  EXPECT_EQ(GetObjectType(recording), 0u) << "the recording's handle is dead once closed";
  EXPECT_FALSE(Rectangle(recording, 0, 0, 1, 1));
}

TEST(MetafileDispatch, ObjectsDeletedWhileRecordedLeaveTheirDeletion) {
  HDC recording = CreateMetaFileA(nullptr);
  ASSERT_NE(recording, nullptr);
  HPEN pen = CreatePen(PS_SOLID, 2, RGB(10, 20, 30));
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_EQ(SelectObject(recording, pen), GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(recording, brush), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetCurrentObject(recording, OBJ_PEN), static_cast<HGDIOBJ>(pen));
  EXPECT_TRUE(DeleteObject(pen));
  // The freed slot is taken by the next new object.
  HPEN second = CreatePen(PS_SOLID, 0, RGB(200, 0, 0));
  SelectObject(recording, second);
  EXPECT_FALSE(DeleteObject(recording)) << "a recording ends with CloseMetaFile only";
  const std::vector<Record> records = Records(Finish(recording));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(DeleteObject(second));

  std::vector<WORD> functions;
  for (const Record& r : records) functions.push_back(r.function);
  EXPECT_EQ(functions,
            (std::vector<WORD>{META_CREATEPENINDIRECT, META_SELECTOBJECT, META_CREATEBRUSHINDIRECT,
                               META_SELECTOBJECT, META_DELETEOBJECT, META_CREATEPENINDIRECT,
                               META_SELECTOBJECT, META_DELETEOBJECT, META_DELETEOBJECT, META_EOF}));
  ASSERT_EQ(records.size(), 10u);
  EXPECT_EQ(records[0].parameters, (std::vector<WORD>{PS_SOLID, 2, 0, 0x140A, 0x001E}));
  EXPECT_EQ(records[1].parameters, (std::vector<WORD>{0}));
  EXPECT_EQ(records[3].parameters, (std::vector<WORD>{1}));
  EXPECT_EQ(records[4].parameters, (std::vector<WORD>{0})) << "the deleted pen's slot";
  EXPECT_EQ(records[6].parameters, (std::vector<WORD>{0})) << "slot 0 again";
  // CloseMetaFile deletes what is left, lowest slot first.
  EXPECT_EQ(records[7].parameters, (std::vector<WORD>{0}));
  EXPECT_EQ(records[8].parameters, (std::vector<WORD>{1}));
}

TEST(MetafileDispatch, ManyRecordingsAtOnceKeepTheirOwnRecords) {
  std::vector<HDC> recordings;
  for (int i = 0; i < 40; ++i) {
    HDC dc = CreateMetaFileA(nullptr);
    ASSERT_NE(dc, nullptr);
    for (HDC other : recordings) ASSERT_NE(dc, other);
    recordings.push_back(dc);
  }
  for (size_t i = 0; i < recordings.size(); ++i) {
    for (size_t k = 0; k <= i % 3; ++k)
      EXPECT_TRUE(LineTo(recordings[i], static_cast<int>(i), static_cast<int>(k)));
  }
  for (size_t i = 0; i < recordings.size(); ++i) {
    const std::vector<Record> records = Records(Finish(recordings[i]));
    ASSERT_EQ(records.size(), i % 3 + 2) << i;
    EXPECT_EQ(records[0].parameters, (std::vector<WORD>{0, static_cast<WORD>(i)}));
  }
}

}  // namespace
