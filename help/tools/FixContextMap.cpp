// Makes the context map of a compiled help file name its topics as paths
// inside the file.
//
// The help compiler records each context number's topic in #IVB as an
// offset into #STRINGS, but writes the topic there with the absolute path
// of the build folder in front ("/home/x/build/help/stage/overview.htm"),
// which no help viewer can find inside the file. The topic's own name is
// the tail of that string, so pointing each offset past the folder's path
// mends the map without touching #STRINGS. #IVB itself lies in the
// compressed section; its mended copy is appended to the uncompressed
// section 0 at the end of the file, and its directory entry is rewritten to
// point there.
//
// The compiler also stamps the time of the build twice, in the file's header
// and in #SYSTEM (section 0); both are cleared, so that the same sources give
// the same bytes.
//
// Usage: FixContextMap <file.chm> <#IVB as extracted> <#STRINGS as extracted> <folder prefix>
// Exits 0 when the map is sound (mended or already right), 1 otherwise.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kIvbName[] = "/#IVB";
constexpr size_t kChunkHeaderSize = 0x14;

struct Failure {
  std::string what;
};

[[noreturn]] void Fail(const std::string& what) { throw Failure{what}; }

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  const std::string temporary = path + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) Fail("cannot write " + temporary);
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) Fail("cannot replace " + path);
}

void Need(const Bytes& bytes, uint64_t offset, uint64_t size) {
  if (offset > bytes.size() || size > bytes.size() - offset) Fail("the file ends too early");
}

uint16_t U16(const Bytes& b, uint64_t at) {
  Need(b, at, 2);
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

uint32_t U32(const Bytes& b, uint64_t at) {
  Need(b, at, 4);
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint64_t U64(const Bytes& b, uint64_t at) { return U32(b, at) | static_cast<uint64_t>(U32(b, at + 4)) << 32; }

void PutU16(Bytes& b, uint64_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(Bytes& b, uint64_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutU64(Bytes& b, uint64_t at, uint64_t v) {
  PutU32(b, at, static_cast<uint32_t>(v));
  PutU32(b, at + 4, static_cast<uint32_t>(v >> 32));
}

// The directory's variable-length integers: seven bits a byte, most
// significant first, the high bit set on every byte but the last.
uint64_t ReadEncInt(const Bytes& b, uint64_t& at, uint64_t end) {
  uint64_t value = 0;
  for (int i = 0; i < 9; ++i) {
    if (at >= end) Fail("a directory entry runs past its chunk");
    const uint8_t byte = b[at++];
    value = value << 7 | (byte & 0x7F);
    if (!(byte & 0x80)) return value;
  }
  Fail("a directory entry holds an overlong number");
}

void AppendEncInt(Bytes& out, uint64_t value) {
  uint8_t groups[10];
  int n = 0;
  do {
    groups[n++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value);
  while (n > 1) out.push_back(groups[--n] | 0x80);
  out.push_back(groups[0]);
}

// Rewrites #IVB's offsets; false when none needed it.
bool MendContextMap(Bytes& ivb, const Bytes& strings, const std::string& prefix) {
  if (ivb.size() < 4 || U32(ivb, 0) != ivb.size() - 4 || (ivb.size() - 4) % 8 != 0) Fail("#IVB is malformed");
  bool changed = false;
  for (uint64_t at = 4; at < ivb.size(); at += 8) {
    const uint32_t offset = U32(ivb, at + 4);
    if (offset >= strings.size()) Fail("#IVB points past the end of #STRINGS");
    const char* topic = reinterpret_cast<const char*>(strings.data()) + offset;
    const void* end = std::memchr(topic, '\0', strings.size() - offset);
    if (!end) Fail("#STRINGS ends inside a topic name");
    const size_t length = static_cast<const char*>(end) - topic;
    if (length > prefix.size() && std::memcmp(topic, prefix.data(), prefix.size()) == 0) {
      PutU32(ivb, at + 4, static_cast<uint32_t>(offset + prefix.size()));
      changed = true;
    } else if (topic[0] == '/') {
      Fail(std::string("context topic outside the help folder: ") + topic);
    }
  }
  return changed;
}

struct Layout {
  uint64_t headerSection0;  // holds the file's length at +8
  uint64_t chunks;          // first directory chunk
  uint32_t chunkSize;
  uint32_t chunkCount;
  uint32_t density;
  uint64_t content;  // start of section 0
};

Layout ReadLayout(const Bytes& chm) {
  Need(chm, 0, 0x58);
  if (std::memcmp(chm.data(), "ITSF", 4) != 0) Fail("not a compiled help file");
  const uint32_t version = U32(chm, 4);
  Layout layout = {};
  layout.headerSection0 = U64(chm, 0x38);
  const uint64_t directory = U64(chm, 0x48);
  const uint64_t directoryLength = U64(chm, 0x50);
  layout.content = version >= 3 ? U64(chm, 0x58) : directory + directoryLength;
  if (U64(chm, layout.headerSection0 + 8) != chm.size()) Fail("the header's file length is not the file's");
  Need(chm, directory, 0x54);
  if (std::memcmp(chm.data() + directory, "ITSP", 4) != 0) Fail("no directory header");
  layout.chunks = directory + U32(chm, directory + 8);
  layout.chunkSize = U32(chm, directory + 0x10);
  layout.density = U32(chm, directory + 0x14);
  layout.chunkCount = U32(chm, directory + 0x2C);
  if (layout.chunkSize < 0x100 || layout.density > 8) Fail("unexpected directory geometry");
  Need(chm, layout.chunks, static_cast<uint64_t>(layout.chunkSize) * layout.chunkCount);
  return layout;
}

// Points the #IVB entry at `length` bytes at `offset` of section 0.
void RepointIvb(Bytes& chm, const Layout& layout, uint64_t offset, uint64_t length) {
  for (uint32_t c = 0; c < layout.chunkCount; ++c) {
    const uint64_t chunk = layout.chunks + static_cast<uint64_t>(c) * layout.chunkSize;
    if (std::memcmp(chm.data() + chunk, "PMGL", 4) != 0) continue;
    const uint64_t chunkEnd = chunk + layout.chunkSize;
    const uint32_t freeSpace = U32(chm, chunk + 4);
    if (freeSpace > layout.chunkSize - kChunkHeaderSize) Fail("a directory chunk is malformed");
    const uint64_t entriesEnd = chunkEnd - freeSpace;
    uint64_t at = chunk + kChunkHeaderSize;
    while (at < entriesEnd) {
      const uint64_t entry = at;
      const uint64_t nameLength = ReadEncInt(chm, at, entriesEnd);
      if (nameLength > entriesEnd - at) Fail("a directory name runs past its chunk");
      const std::string name(reinterpret_cast<const char*>(chm.data()) + at, nameLength);
      at += nameLength;
      ReadEncInt(chm, at, entriesEnd);  // section
      ReadEncInt(chm, at, entriesEnd);  // offset
      const uint64_t oldLength = ReadEncInt(chm, at, entriesEnd);
      if (name != kIvbName) continue;
      if (oldLength != length) Fail("#IVB as extracted differs in length from its directory entry");

      Bytes replacement;
      AppendEncInt(replacement, nameLength);
      replacement.insert(replacement.end(), name.begin(), name.end());
      AppendEncInt(replacement, 0);
      AppendEncInt(replacement, offset);
      AppendEncInt(replacement, length);
      const int64_t growth = static_cast<int64_t>(replacement.size()) - static_cast<int64_t>(at - entry);

      // Every (1 + 2^density)th entry has a quick-reference word at the
      // chunk's end, below the entry count.
      const uint16_t entryCount = U16(chm, chunkEnd - 2);
      const uint32_t quickRefs = entryCount / (1u + (1u << layout.density));
      const uint64_t quickRefStart = chunkEnd - 2 - 2 * static_cast<uint64_t>(quickRefs);
      if (static_cast<int64_t>(entriesEnd) + growth > static_cast<int64_t>(quickRefStart)) {
        Fail("no room in the directory chunk for the mended #IVB entry");
      }
      Bytes tail(chm.begin() + static_cast<std::ptrdiff_t>(at), chm.begin() + static_cast<std::ptrdiff_t>(entriesEnd));
      std::memcpy(chm.data() + entry, replacement.data(), replacement.size());
      std::memcpy(chm.data() + entry + replacement.size(), tail.data(), tail.size());
      const uint64_t newEnd = entry + replacement.size() + tail.size();
      if (newEnd < entriesEnd) std::memset(chm.data() + newEnd, 0, entriesEnd - newEnd);
      const uint64_t entryOffset = entry - (chunk + kChunkHeaderSize);
      for (uint32_t q = 1; q <= quickRefs; ++q) {
        const uint64_t word = chunkEnd - 2 - 2 * static_cast<uint64_t>(q);
        const uint16_t value = U16(chm, word);
        if (value > entryOffset) PutU16(chm, word, static_cast<uint16_t>(value + growth));
      }
      PutU32(chm, chunk + 4, static_cast<uint32_t>(freeSpace - growth));
      return;
    }
  }
  Fail("no #IVB entry in the directory");
}

// Where the named file of section 0 lies in chm; fails when it is not there.
uint64_t FindInSection0(const Bytes& chm, const Layout& layout, const std::string& wanted, uint64_t& length) {
  for (uint32_t c = 0; c < layout.chunkCount; ++c) {
    const uint64_t chunk = layout.chunks + static_cast<uint64_t>(c) * layout.chunkSize;
    if (std::memcmp(chm.data() + chunk, "PMGL", 4) != 0) continue;
    const uint32_t freeSpace = U32(chm, chunk + 4);
    if (freeSpace > layout.chunkSize - kChunkHeaderSize) Fail("a directory chunk is malformed");
    const uint64_t entriesEnd = chunk + layout.chunkSize - freeSpace;
    uint64_t at = chunk + kChunkHeaderSize;
    while (at < entriesEnd) {
      const uint64_t nameLength = ReadEncInt(chm, at, entriesEnd);
      if (nameLength > entriesEnd - at) Fail("a directory name runs past its chunk");
      const std::string name(reinterpret_cast<const char*>(chm.data()) + at, nameLength);
      at += nameLength;
      const uint64_t section = ReadEncInt(chm, at, entriesEnd);
      const uint64_t offset = ReadEncInt(chm, at, entriesEnd);
      length = ReadEncInt(chm, at, entriesEnd);
      if (name != wanted) continue;
      if (section != 0) Fail(wanted + " is not in section 0");
      Need(chm, layout.content + offset, length);
      return layout.content + offset;
    }
  }
  Fail("no " + wanted + " entry in the directory");
}

// Clears the header's timestamp and #SYSTEM's (its record of code 10).
void ClearTimestamps(Bytes& chm, const Layout& layout) {
  PutU32(chm, 0x10, 0);
  uint64_t length = 0;
  const uint64_t system = FindInSection0(chm, layout, "/#SYSTEM", length);
  for (uint64_t at = system + 4; at + 4 <= system + length;) {
    const uint16_t code = U16(chm, at);
    const uint16_t size = U16(chm, at + 2);
    if (at + 4 + size > system + length) Fail("#SYSTEM is malformed");
    if (code == 10 && size == 4) PutU32(chm, at + 4, 0);
    at += 4 + size;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: FixContextMap <file.chm> <#IVB> <#STRINGS> <folder prefix>\n");
    return 2;
  }
  try {
    Bytes chm = ReadFile(argv[1]);
    Bytes ivb = ReadFile(argv[2]);
    const Bytes strings = ReadFile(argv[3]);
    const std::string prefix = argv[4];
    if (prefix.empty() || prefix.back() != '/') Fail("the folder prefix must end with '/'");
    const size_t originalLength = ivb.size();
    const Layout layout = ReadLayout(chm);
    ClearTimestamps(chm, layout);
    if (MendContextMap(ivb, strings, prefix)) {
      RepointIvb(chm, layout, chm.size() - layout.content, originalLength);
      chm.insert(chm.end(), ivb.begin(), ivb.end());
      PutU64(chm, layout.headerSection0 + 8, chm.size());
    }
    WriteFile(argv[1], chm);
    return 0;
  } catch (const Failure& failure) {
    std::fprintf(stderr, "FixContextMap: %s: %s\n", argv[1], failure.what.c_str());
    return 1;
  }
}
