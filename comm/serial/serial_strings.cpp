#include "comm/serial/serial_strings.h"

#include <span>

namespace kv::comm {

namespace {

constexpr kv::ext::StringEntry kSerialTexts[] = {
    {1,
     "Aucune configuration du port %s n'a \xe9t\xe9 trouv\xe9"
     "e.\nLa configuration par "
     "d\xe9"
     "faut est : \n9600 Bauds,\n8 bits de donn\xe9"
     "es, pas de parit\xe9, un bit stop."},
    {10001,
     "Port %s configuration not found.\nDefault configuration is : \n9600 Bauds,\n8 data bits, "
     "no parity, 1 bit stop."},
};

}  // namespace

const kv::ext::StringTable& CommStrings() {
  static const kv::ext::StringTable table({std::span<const kv::ext::StringEntry>(kSerialTexts)});
  return table;
}

std::string FormatMessage(uint32_t number, const std::string& argument) {
  std::string text(CommStrings().Find(number));
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, argument);
  return text;
}

}  // namespace kv::comm
