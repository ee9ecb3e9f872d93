#include "version_resource.h"

#include <windows.h>

#include <vector>

#include "app/startup_context.h"
#include "window_kit.h"

namespace drumlo {
namespace {

Text Hex4(unsigned value) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  Text out(4, u'0');
  for (int i = 3; i >= 0; --i) {
    out[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    value >>= 4;
  }
  return out;
}

// A string entry of the version block, looked up under the block's first translation.
Text StringEntry(const std::vector<BYTE>& block, TextView name) {
  struct Translation {
    WORD language;
    WORD code_page;
  };
  Translation* translation = nullptr;
  UINT size = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translation), &size) ||
      size < sizeof(Translation)) {
    return Text();
  }
  const Text key = u"\\StringFileInfo\\" + Hex4(translation->language) +
                   Hex4(translation->code_page) + u"\\" + Text(name);
  wchar_t* value = nullptr;
  if (!VerQueryValueW(block.data(), Wide(key), reinterpret_cast<void**>(&value), &size) ||
      size == 0) {
    return Text();
  }
  return CutAtNul(TextView(reinterpret_cast<const char16_t*>(value), size));
}

}  // namespace

VersionFacts ReadOwnVersion() {
  VersionFacts facts;
  const Text exe = GetExePath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(Wide(exe), &ignored);
  if (size == 0) return facts;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(Wide(exe), 0, size, block.data())) return facts;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_size = 0;
  if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixed_size) &&
      fixed_size >= sizeof(VS_FIXEDFILEINFO)) {
    facts.major = HIWORD(fixed->dwFileVersionMS);
    facts.minor = LOWORD(fixed->dwFileVersionMS);
    facts.revision = LOWORD(fixed->dwFileVersionLS);
  }
  facts.product_name = StringEntry(block, u"ProductName");
  facts.legal_copyright = StringEntry(block, u"LegalCopyright");
  return facts;
}

}  // namespace drumlo
