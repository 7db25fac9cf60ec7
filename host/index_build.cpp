#include "host/index_build.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

namespace kvhost {
namespace {

// The expression's shape as the data file gives it.
struct ValueShape {
  char type = 0;  // 'C', 'N', 'D', or what the engine said for other types
  int length = 0;
  int decimals = 0;
  bool singleField = false;
};

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

std::string Trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

char KeyTypeOf(uint16_t type) {
  switch (type) {
    case 'C':
      return 'C';
    case 'N':
    case 'F':
      return 'N';
    case 'D':
      return 'D';
    default:
      return static_cast<char>(type);
  }
}

// The field the expression names when it is nothing but a field name.
std::optional<XBFIELDDEF> SingleField(const XbaseBinding& xb, XBHANDLE data,
                                      const std::string& expression) {
  XBRECINFO record{};
  if (xb.XBDDRINFO(data, &record) < 0) return std::nullopt;
  std::vector<XBFIELDDEF> fields(std::max<int>(record.fieldCount, 1));
  uint16_t longest = 0;
  if (xb.XBDDFINFO(data, &longest, fields.data()) < 0) return std::nullopt;
  const std::string name = Upper(Trimmed(expression));
  for (int i = 0; i < record.fieldCount; ++i)
    if (Upper(fields[i].name) == name) return fields[i];
  return std::nullopt;
}

// The type and length of the key's value: the field's definition, or the
// expression's value on the first record (the blank record of an empty file).
bool ShapeOf(const XbaseBinding& xb, XBHANDLE data, uint32_t records, const std::string& expression,
             ValueShape& shape, std::string& message) {
  if (const std::optional<XBFIELDDEF> field = SingleField(xb, data, expression)) {
    shape.type = KeyTypeOf(field->type);
    shape.length = field->length;
    shape.decimals = field->decimals;
    shape.singleField = true;
    return true;
  }
  if (records > 0 && xb.XBDDRGET(data, 1) < 0) {
    message = "cannot read record 1 (status " + std::to_string(xb.XBESCODE(0)) + ")";
    return false;
  }
  std::vector<char> text(expression.begin(), expression.end());
  text.push_back('\0');
  XBEVALRESULT result{};
  const XBSTATUS s = xb.XBDXEVAL(data, text.data(), &result);
  if (s < 0) {
    xb.XBESCODE(0);
    message = "the key expression is refused (status " + std::to_string(s) + ")";
    return false;
  }
  shape.type = KeyTypeOf(result.type);
  shape.length = result.length;
  if (result.value != nullptr) xb.XBMFREE(result.value);
  return true;
}

// The key length a build needs when the request gives none.
bool DefaultLength(const BuildRequest& request, const ValueShape& shape, char type, int& length,
                   std::string& message) {
  if (type == 'C') {
    length = shape.type == 'C' ? shape.length : 0;
    if (length < 1) message = "the key's length is unknown: give --len";
    return length >= 1;
  }
  if (type == 'D') {
    length = 8;
    return true;
  }
  switch (request.kind.kind) {
    case IndexKind::Mdx:
      length = 12;  // the packed decimal form of MDX numbers
      return true;
    case IndexKind::Ntx:
      // NTX numbers are the texts of STR(value, length, decimals).
      if (!shape.singleField || shape.type != 'N') {
        message = "a numeric NTX key computed by an expression needs --len and --dec";
        return false;
      }
      length = shape.length;
      return true;
    default:
      length = 8;
      return true;
  }
}

// An MDX tag name: the one given, else the expression when it is a plain
// name short enough for a tag.
std::string TagName(const BuildRequest& request) {
  if (!request.kind.tag.empty()) return request.kind.tag;
  const std::string e = Trimmed(request.expression);
  const bool plain = !e.empty() && e.size() <= 10 && std::isalpha(static_cast<unsigned char>(e[0]));
  for (const char c : e)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return {};
  return plain ? Upper(e) : std::string();
}

XBSTATUS BuildMdxTag(const XbaseBinding& xb, XBHANDLE data, const BuildRequest& request,
                     BuildOutcome& out) {
  const std::string& path = request.indexPath;
  std::error_code ignored;
  const bool created = !std::filesystem::exists(path, ignored);
  if (created) {
    const XBSTATUS s = xb.XBDMCREATE(path.c_str(), 2);  // blocks of 1024 bytes
    if (s < 0) {
      // The header keeps the base name in 8 characters.
      out.message = s == XB_E_EMPTY_NAME ? "an MDX file's base name has 1 to 8 characters"
                                         : "cannot create the MDX file";
      return s;
    }
  }
  XBHANDLE mdx = XB_NO_HANDLE;
  XBSTATUS s = xb.XBDMOPENX(&mdx, path.c_str(), 0);
  if (s < 0) {
    out.message = "cannot open the MDX file";
  } else {
    const uint16_t letter = static_cast<uint16_t>(out.type | (request.unique ? XB_MDX_UNIQUE : 0) |
                                                  (request.descending ? XB_MDX_DESCENDING : 0));
    s = xb.XBDMTINDEX(data, mdx, out.tag.c_str(), letter, request.expression.c_str(),
                      static_cast<uint16_t>(out.length));
    if (s < 0) out.message = "XBDMTINDEX failed";
    xb.XBDMCLOSE(mdx);
  }
  // A file made for a tag that could not be built is of no use to anyone.
  if (s < 0 && created) std::filesystem::remove(path, ignored);
  return s;
}

XBSTATUS RunBuild(const XbaseBinding& xb, XBHANDLE data, const BuildRequest& request,
                  BuildOutcome& out) {
  const char* name = request.indexPath.c_str();
  const char* expression = request.expression.c_str();
  const uint16_t length = static_cast<uint16_t>(out.length);
  const uint16_t unique = request.unique ? XB_NDX_UNIQUE : 0;
  XBSTATUS s = 0;
  switch (request.kind.kind) {
    case IndexKind::Ndx:
      s = xb.XBDNINDEX(data, name, static_cast<uint16_t>(out.type | unique), expression, length);
      if (s < 0) out.message = "XBDNINDEX failed";
      return s;
    case IndexKind::Idx:
    case IndexKind::CompactIdx: {
      uint16_t word = static_cast<uint16_t>(out.type | unique);
      if (request.kind.kind == IndexKind::CompactIdx)
        word |= XB_IDX_COMPACT | (request.descending ? XB_IDX_DESCENDING : 0);
      s = xb.XBDIINDEX(data, name, word, expression, length);
      if (s < 0) out.message = "XBDIINDEX failed";
      return s;
    }
    case IndexKind::Ntx:
      s = xb.XBDCINDEX(data, name, static_cast<uint16_t>(out.type | unique), expression, length,
                       static_cast<uint16_t>(out.decimals));
      if (s < 0) out.message = "XBDCINDEX failed";
      return s;
    case IndexKind::Mdx:
      return BuildMdxTag(xb, data, request, out);
  }
  return 0;
}

// What the request asks for that its kind cannot give.
std::string Refusal(const BuildRequest& request) {
  const IndexKind kind = request.kind.kind;
  if (request.descending && kind != IndexKind::CompactIdx && kind != IndexKind::Mdx)
    return kind == IndexKind::Idx ? "descending order needs the compact form (--kind cidx)"
                                  : "descending order is for compact IDX files and MDX tags";
  if (request.type != 0 && request.type != 'C' && request.type != 'N' && request.type != 'D')
    return "--type takes C, N or D";
  if (kind == IndexKind::Mdx && TagName(request).empty()) return "name the tag: --kind mdx:TAG";
  return {};
}

}  // namespace

BuildOutcome BuildIndex(const XbaseBinding& xb, const BuildRequest& request) {
  BuildOutcome out;
  out.message = Refusal(request);
  if (!out.message.empty()) {
    out.status = XB_E_ARGUMENT;
    return out;
  }
  XBHANDLE data = XB_NO_HANDLE;
  const uint16_t variant = static_cast<uint16_t>(request.variant);
  out.status =
      xb.XBDDOPENX(&data, request.dataPath.c_str(), variant | XB_OPEN_READONLY | XB_OPEN_SHARED);
  if (out.status < 0) {
    out.message = "cannot open the data file";
    xb.XBESCODE(0);
    return out;
  }
  xb.XBDDSIZE(data, &out.records);
  ValueShape shape;
  if (ShapeOf(xb, data, out.records, request.expression, shape, out.message)) {
    out.type = request.type != 0 ? request.type : shape.type;
    out.decimals = request.decimals >= 0 ? request.decimals : shape.decimals;
    out.tag = request.kind.kind == IndexKind::Mdx ? TagName(request) : std::string();
    out.length = request.length;
    if (out.type != 'C' && out.type != 'N' && out.type != 'D') {
      out.message = std::string("keys of type ") + out.type + " are not indexed here";
    } else if (out.length > 0 || DefaultLength(request, shape, out.type, out.length, out.message)) {
      out.status = RunBuild(xb, data, request, out);
    }
  }
  if (out.status >= 0 && !out.message.empty()) out.status = XB_E_ARGUMENT;
  if (out.status < 0) xb.XBESCODE(0);
  xb.XBDDCLOSE(data);
  return out;
}

}  // namespace kvhost
