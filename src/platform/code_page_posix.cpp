// Code page conversions through glibc's iconv, which knows the Windows code
// pages by names such as "CP936".
#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/dbcs.h"

namespace corvantis {
namespace {

#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr char kUtf16[] = "UTF-16LE";
#else
constexpr char kUtf16[] = "UTF-16BE";
#endif

constexpr std::size_t kFailed = static_cast<std::size_t>(-1);
const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

std::string IconvName(unsigned code_page) {
  return code_page == 65001 ? "UTF-8" : "CP" + std::to_string(code_page);
}

// Opening a descriptor costs far more than a conversion, and window titles
// are converted on every refresh: each thread keeps its descriptors.
class Descriptors {
 public:
  Descriptors() = default;
  Descriptors(const Descriptors&) = delete;
  Descriptors& operator=(const Descriptors&) = delete;
  ~Descriptors() {
    for (const Entry& entry : entries_) {
      if (entry.decoder != kNoDescriptor) iconv_close(entry.decoder);
      if (entry.encoder != kNoDescriptor) iconv_close(entry.encoder);
    }
  }

  // kNoDescriptor when iconv does not know the code page.
  iconv_t Decoder(unsigned code_page) { return Find(code_page).decoder; }
  iconv_t Encoder(unsigned code_page) { return Find(code_page).encoder; }

 private:
  struct Entry {
    unsigned code_page;
    iconv_t decoder;
    iconv_t encoder;
  };

  const Entry& Find(unsigned code_page) {
    for (const Entry& entry : entries_) {
      if (entry.code_page == code_page) return entry;
    }
    const std::string name = IconvName(code_page);
    entries_.push_back({code_page, iconv_open(kUtf16, name.c_str()),
                        iconv_open(name.c_str(), kUtf16)});
    return entries_.back();
  }

  std::vector<Entry> entries_;
};

Descriptors& ThreadDescriptors() {
  thread_local Descriptors descriptors;
  return descriptors;
}

// Converts all of input, putting one replacement in place of each
// character that does not convert (bad_length tells its size in bytes) and
// going on after it. Without a descriptor nothing converts.
template <typename Output, typename BadLength>
Output Convert(iconv_t descriptor, const char* input, std::size_t input_bytes,
               typename Output::value_type replacement, BadLength bad_length) {
  using Unit = typename Output::value_type;
  // As many units as input bytes: enough for every double-byte code page,
  // grown below for the others.
  Output output(input_bytes, Unit{});
  std::size_t produced = 0;
  char* in = const_cast<char*>(input);
  std::size_t in_left = input_bytes;
  if (descriptor != kNoDescriptor) {
    iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
  }
  while (in_left > 0) {
    char* out = reinterpret_cast<char*>(&output[0] + produced);
    std::size_t out_left = (output.size() - produced) * sizeof(Unit);
    const std::size_t converted =
        descriptor == kNoDescriptor
            ? kFailed
            : iconv(descriptor, &in, &in_left, &out, &out_left);
    produced = output.size() - out_left / sizeof(Unit);
    if (converted != kFailed) break;
    const bool out_of_room = descriptor != kNoDescriptor && errno == E2BIG;
    if (out_of_room || produced == output.size()) {
      output.resize(output.size() * 2 + 2);
      if (out_of_room) continue;
    }
    // EILSEQ, or EINVAL for a character cut short at the end.
    output[produced++] = replacement;
    const std::size_t skip = std::min(bad_length(in, in_left), in_left);
    in += skip;
    in_left -= skip;
  }
  output.resize(produced);
  return output;
}

}  // namespace

Text DecodeCodePage(std::string_view bytes, unsigned code_page) {
  return Convert<Text>(
      ThreadDescriptors().Decoder(code_page), bytes.data(), bytes.size(),
      u'\uFFFD', [code_page](const char* at, std::size_t left) {
        return CharacterLength(std::string_view(at, left), code_page);
      });
}

std::string EncodeCodePage(const Text& text, unsigned code_page) {
  return Convert<std::string>(
      ThreadDescriptors().Encoder(code_page),
      reinterpret_cast<const char*>(text.data()),
      text.size() * sizeof(char16_t), '?',
      [](const char* at, std::size_t left) {
        return CharacterLength(reinterpret_cast<const char16_t*>(at),
                               left / sizeof(char16_t)) *
               sizeof(char16_t);
      });
}

}  // namespace corvantis
