// The PE/COFF layout read here, by offsets into the file and the image:
// the MS-DOS stub's pointer to the PE signature, the COFF file header, the
// optional header (PE32 or PE32+), the section table, and the export,
// import, base relocation and TLS directories.
#include "pe_loader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <strings.h>

namespace peload {
namespace {

constexpr bool Is64 = sizeof(void*) == 8;

// Data directory slots.
constexpr int ExportDirectory = 0;
constexpr int ImportDirectory = 1;
constexpr int RelocationDirectory = 5;
constexpr int TlsDirectory = 9;
constexpr int DelayImportDirectory = 13;

constexpr std::uint16_t FileIsDll = 0x2000;
constexpr std::uint32_t SectionExecutes = 0x20000000;
constexpr std::uint32_t SectionReads = 0x40000000;
constexpr std::uint32_t SectionWrites = 0x80000000;

constexpr int RelocationSkip = 0;
constexpr int RelocationLow32 = 3;
constexpr int Relocation64 = 10;

template <typename T>
T Load(const unsigned char* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <typename T>
void Store(unsigned char* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

// A pointer-sized field of the image: 4 bytes in PE32, 8 in PE32+.
std::uintptr_t LoadPointer(const unsigned char* at) { return Load<std::uintptr_t>(at); }

struct Range {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
};

struct Headers {
  std::uint16_t sectionCount = 0;
  std::size_t sectionTable = 0;  // file offset
  std::uint32_t entry = 0;
  std::uintptr_t imageBase = 0;
  std::uint32_t sectionAlignment = 0;
  std::uint32_t imageSize = 0;
  std::uint32_t headersSize = 0;
  Range directories[16];
};

struct Section {
  std::uint32_t virtualSize = 0;
  std::uint32_t rva = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t rawOffset = 0;
  std::uint32_t flags = 0;
};

bool Fits(std::size_t offset, std::size_t length, std::size_t total) {
  return offset <= total && length <= total - offset;
}

std::string ReadHeaders(const std::vector<unsigned char>& file, Headers* h) {
  const std::size_t size = file.size();
  const unsigned char* f = file.data();
  if (size < 0x40 || f[0] != 'M' || f[1] != 'Z') return "not an MZ executable";
  const std::uint32_t pe = Load<std::uint32_t>(f + 0x3C);
  if (!Fits(pe, 24, size) || std::memcmp(f + pe, "PE\0\0", 4) != 0) return "no PE signature";
  const unsigned char* coff = f + pe + 4;
  const std::uint16_t machine = Load<std::uint16_t>(coff);
  if (machine != HostMachine) return "machine type " + std::to_string(machine) + " is not this host's";
  if ((Load<std::uint16_t>(coff + 18) & FileIsDll) == 0) return "not a DLL";
  h->sectionCount = Load<std::uint16_t>(coff + 2);
  const std::uint16_t optionalSize = Load<std::uint16_t>(coff + 16);
  const std::size_t optionalAt = pe + 24;
  if (!Fits(optionalAt, optionalSize, size) || optionalSize < (Is64 ? 112u : 96u))
    return "optional header truncated";
  const unsigned char* opt = f + optionalAt;
  if (Load<std::uint16_t>(opt) != HostOptionalMagic) return "optional header is not this host's PE kind";
  h->entry = Load<std::uint32_t>(opt + 16);
  h->imageBase = Is64 ? static_cast<std::uintptr_t>(Load<std::uint64_t>(opt + 24))
                      : Load<std::uint32_t>(opt + 28);
  h->sectionAlignment = Load<std::uint32_t>(opt + 32);
  h->imageSize = Load<std::uint32_t>(opt + 56);
  h->headersSize = Load<std::uint32_t>(opt + 60);
  const std::size_t directoriesAt = Is64 ? 112 : 96;
  std::uint32_t count = Load<std::uint32_t>(opt + directoriesAt - 4);
  if (count > 16) count = 16;
  if (directoriesAt + std::size_t{count} * 8 > optionalSize) return "data directories truncated";
  for (std::uint32_t i = 0; i < count; ++i) {
    h->directories[i].rva = Load<std::uint32_t>(opt + directoriesAt + 8 * i);
    h->directories[i].size = Load<std::uint32_t>(opt + directoriesAt + 8 * i + 4);
  }
  h->sectionTable = optionalAt + optionalSize;
  if (!Fits(h->sectionTable, std::size_t{h->sectionCount} * 40, size)) return "section table truncated";
  if (h->headersSize > size || h->headersSize > h->imageSize) return "headers larger than the file";
  return {};
}

std::vector<Section> ReadSections(const std::vector<unsigned char>& file, const Headers& h) {
  std::vector<Section> sections;
  for (std::size_t i = 0; i < h.sectionCount; ++i) {
    const unsigned char* s = file.data() + h.sectionTable + 40 * i;
    sections.push_back({Load<std::uint32_t>(s + 8), Load<std::uint32_t>(s + 12),
                        Load<std::uint32_t>(s + 16), Load<std::uint32_t>(s + 20),
                        Load<std::uint32_t>(s + 36)});
  }
  return sections;
}

std::string CopySections(const std::vector<unsigned char>& file, const Headers& h,
                         const std::vector<Section>& sections, unsigned char* base) {
  std::memcpy(base, file.data(), h.headersSize);
  for (const Section& s : sections) {
    const std::uint32_t span = s.virtualSize != 0 ? s.virtualSize : s.rawSize;
    if (!Fits(s.rva, span, h.imageSize)) return "a section lies outside the image";
    const std::uint32_t copied = s.rawSize < span ? s.rawSize : span;
    if (!Fits(s.rawOffset, copied, file.size())) return "a section's data lies outside the file";
    std::memcpy(base + s.rva, file.data() + s.rawOffset, copied);
  }
  return {};
}

bool InImage(const LoadedImage& image, std::uintptr_t rva, std::size_t length) {
  return Fits(rva, length, image.size);
}

std::string Relocate(const LoadedImage& image, Range table) {
  const std::uintptr_t delta = reinterpret_cast<std::uintptr_t>(image.base) - image.preferredBase;
  if (!InImage(image, table.rva, table.size)) return "relocation table outside the image";
  std::uint32_t at = table.rva;
  const std::uint32_t end = table.rva + table.size;
  while (end - at >= 8) {
    const std::uint32_t page = Load<std::uint32_t>(image.base + at);
    const std::uint32_t blockSize = Load<std::uint32_t>(image.base + at + 4);
    if (blockSize < 8 || blockSize > end - at) return "malformed relocation block";
    for (std::uint32_t k = 8; k + 2 <= blockSize; k += 2) {
      const std::uint16_t entry = Load<std::uint16_t>(image.base + at + k);
      const int type = entry >> 12;
      const std::uintptr_t target = std::uintptr_t{page} + (entry & 0xFFFu);
      if (type == RelocationSkip) continue;
      if (type == RelocationLow32 && InImage(image, target, 4)) {
        const std::uint32_t old = Load<std::uint32_t>(image.base + target);
        Store<std::uint32_t>(image.base + target, old + static_cast<std::uint32_t>(delta));
      } else if (type == Relocation64 && Is64 && InImage(image, target, 8)) {
        const std::uint64_t old = Load<std::uint64_t>(image.base + target);
        Store<std::uint64_t>(image.base + target, old + delta);
      } else {
        return "unsupported relocation type " + std::to_string(type) + " at " + std::to_string(target);
      }
    }
    at += blockSize;
  }
  return {};
}

// A zero-terminated name inside the image, or empty when it runs outside.
std::string NameAt(const LoadedImage& image, std::uintptr_t rva) {
  std::string name;
  while (rva < image.size && image.base[rva] != 0) name.push_back(static_cast<char>(image.base[rva++]));
  return rva < image.size ? name : std::string();
}

const Stub* FindStub(const std::vector<Stub>& stubs, const std::string& module, const std::string& name) {
  for (const Stub& s : stubs)
    if (strcasecmp(s.module, module.c_str()) == 0 && name == s.name) return &s;
  return nullptr;
}

std::string BindImports(const LoadedImage& image, Range table, const std::vector<Stub>& stubs) {
  if (table.size == 0) return {};
  std::string missing;
  for (std::uint32_t at = table.rva;; at += 20) {
    if (!InImage(image, at, 20)) return "import table outside the image";
    const unsigned char* d = image.base + at;
    const std::uint32_t lookup = Load<std::uint32_t>(d);
    const std::uint32_t moduleName = Load<std::uint32_t>(d + 12);
    const std::uint32_t bound = Load<std::uint32_t>(d + 16);
    if (lookup == 0 && moduleName == 0 && bound == 0) break;
    const std::string module = NameAt(image, moduleName);
    if (bound == 0) return "import of " + module + " without an address table";
    std::uint32_t names = lookup != 0 ? lookup : bound;
    for (std::uint32_t slot = bound;; names += sizeof(void*), slot += sizeof(void*)) {
      if (!InImage(image, names, sizeof(void*)) || !InImage(image, slot, sizeof(void*)))
        return "import list of " + module + " outside the image";
      const std::uintptr_t item = LoadPointer(image.base + names);
      if (item == 0) break;
      if (item >> (8 * sizeof(void*) - 1)) {
        missing += " " + module + "!#" + std::to_string(item & 0xFFFF);
        continue;
      }
      const std::string name = NameAt(image, item + 2);
      const Stub* stub = FindStub(stubs, module, name);
      if (stub == nullptr) {
        missing += " " + module + "!" + name;
        continue;
      }
      Store<std::uintptr_t>(image.base + slot, reinterpret_cast<std::uintptr_t>(stub->address));
    }
  }
  return missing.empty() ? std::string() : "imports without a stub:" + missing;
}

std::string ReadTls(LoadedImage* image, Range table) {
  if (table.size == 0) return {};
  const std::size_t length = Is64 ? 40 : 24;
  if (!InImage(*image, table.rva, length)) return "TLS directory outside the image";
  const unsigned char* d = image->base + table.rva;
  const std::size_t p = sizeof(void*);
  image->tls.start = LoadPointer(d);
  image->tls.end = LoadPointer(d + p);
  const std::uintptr_t indexAt = LoadPointer(d + 2 * p);
  image->tls.callbacks = LoadPointer(d + 3 * p);
  image->tls.zeroFill = Load<std::uint32_t>(d + 4 * p);
  const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(image->base);
  if (image->tls.end < image->tls.start || !InImage(*image, image->tls.start - base, image->tls.end - image->tls.start) ||
      !InImage(*image, indexAt - base, 4))
    return "TLS directory points outside the image";
  // Every thread finds this image's block at slot 0 of its TLS array.
  Store<std::uint32_t>(reinterpret_cast<unsigned char*>(indexAt), 0);
  return {};
}

int Protection(std::uint32_t flags) {
  return ((flags & SectionReads) ? PROT_READ : 0) | ((flags & SectionWrites) ? PROT_WRITE : 0) |
         ((flags & SectionExecutes) ? PROT_EXEC : 0);
}

// Sections get the access their flags ask for, so that a stray write into
// code or read-only data faults here as it would on the platform.
void ProtectSections(const LoadedImage& image, const Headers& h, const std::vector<Section>& sections) {
  const long page = sysconf(_SC_PAGESIZE);
  if (h.sectionAlignment % static_cast<std::uint32_t>(page) != 0) {
    mprotect(image.base, image.size, PROT_READ | PROT_WRITE | PROT_EXEC);
    return;
  }
  mprotect(image.base, h.sectionAlignment, PROT_READ);
  for (const Section& s : sections) {
    const std::uint32_t span = s.virtualSize != 0 ? s.virtualSize : s.rawSize;
    if (span != 0) mprotect(image.base + s.rva, span, Protection(s.flags));
  }
}

}  // namespace

std::string LoadImage(const std::vector<unsigned char>& file, const std::vector<Stub>& stubs,
                      LoadedImage* image) {
  *image = LoadedImage{};
  Headers h;
  if (std::string error = ReadHeaders(file, &h); !error.empty()) return error;
  if (h.directories[DelayImportDirectory].size != 0) return "delay-loaded imports are not supported";
  const std::vector<Section> sections = ReadSections(file, h);
  void* base = mmap(nullptr, h.imageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return "cannot map " + std::to_string(h.imageSize) + " bytes";
  image->base = static_cast<unsigned char*>(base);
  image->size = h.imageSize;
  image->preferredBase = h.imageBase;
  std::string error = CopySections(file, h, sections, image->base);
  if (error.empty() && image->base != reinterpret_cast<unsigned char*>(h.imageBase))
    error = Relocate(*image, h.directories[RelocationDirectory]);
  if (error.empty()) error = BindImports(*image, h.directories[ImportDirectory], stubs);
  if (error.empty()) error = ReadTls(image, h.directories[TlsDirectory]);
  if (!error.empty()) {
    UnloadImage(image);
    return error;
  }
  if (h.entry != 0) image->entry = reinterpret_cast<std::uintptr_t>(image->base) + h.entry;
  ProtectSections(*image, h, sections);
  return {};
}

void UnloadImage(LoadedImage* image) {
  if (image->base != nullptr) munmap(image->base, image->size);
  *image = LoadedImage{};
}

namespace {

struct ExportTable {
  std::uint32_t directory = 0, directorySize = 0;
  std::uint32_t name = 0, ordinalBase = 0, functionCount = 0, nameCount = 0;
  std::uint32_t functions = 0, names = 0, ordinals = 0;
};

bool ReadExportTable(const LoadedImage& image, ExportTable* t) {
  // The headers are mapped too, and were checked at load.
  const std::uint32_t pe = Load<std::uint32_t>(image.base + 0x3C);
  const unsigned char* optional = image.base + pe + 24;
  const std::size_t directories = Is64 ? 112 : 96;
  t->directory = Load<std::uint32_t>(optional + directories + 8 * ExportDirectory);
  t->directorySize = Load<std::uint32_t>(optional + directories + 8 * ExportDirectory + 4);
  if (t->directorySize == 0 || !InImage(image, t->directory, 40)) return false;
  const unsigned char* d = image.base + t->directory;
  t->name = Load<std::uint32_t>(d + 12);
  t->ordinalBase = Load<std::uint32_t>(d + 16);
  t->functionCount = Load<std::uint32_t>(d + 20);
  t->nameCount = Load<std::uint32_t>(d + 24);
  t->functions = Load<std::uint32_t>(d + 28);
  t->names = Load<std::uint32_t>(d + 32);
  t->ordinals = Load<std::uint32_t>(d + 36);
  return InImage(image, t->functions, std::size_t{t->functionCount} * 4) &&
         InImage(image, t->names, std::size_t{t->nameCount} * 4) &&
         InImage(image, t->ordinals, std::size_t{t->nameCount} * 2);
}

}  // namespace

std::string ExportModuleName(const LoadedImage& image) {
  ExportTable t;
  return ReadExportTable(image, &t) ? NameAt(image, t.name) : std::string();
}

std::vector<std::string> ExportNames(const LoadedImage& image) {
  std::vector<std::string> names;
  ExportTable t;
  if (!ReadExportTable(image, &t)) return names;
  for (std::uint32_t i = 0; i < t.nameCount; ++i)
    names.push_back(NameAt(image, Load<std::uint32_t>(image.base + t.names + 4 * i)));
  return names;
}

bool FindExport(const LoadedImage& image, std::string_view name, Export* found) {
  ExportTable t;
  if (!ReadExportTable(image, &t)) return false;
  for (std::uint32_t i = 0; i < t.nameCount; ++i) {
    if (NameAt(image, Load<std::uint32_t>(image.base + t.names + 4 * i)) != name) continue;
    const std::uint16_t index = Load<std::uint16_t>(image.base + t.ordinals + 2 * i);
    if (index >= t.functionCount) return false;
    const std::uint32_t rva = Load<std::uint32_t>(image.base + t.functions + 4 * index);
    // An address inside the export directory forwards to another module.
    if (rva == 0 || (rva >= t.directory && rva - t.directory < t.directorySize)) return false;
    found->address = reinterpret_cast<std::uintptr_t>(image.base) + rva;
    found->ordinal = t.ordinalBase + index;
    return true;
  }
  return false;
}

namespace {

void RunTlsCallbacks(const LoadedImage& image, Reason reason) {
  if (image.tls.callbacks == 0) return;
  // Read afresh each time: the image may add callbacks while it runs.
  for (std::uintptr_t at = image.tls.callbacks;; at += sizeof(void*)) {
    const std::uintptr_t callback = LoadPointer(reinterpret_cast<const unsigned char*>(at));
    if (callback == 0) break;
    reinterpret_cast<TlsCallback>(callback)(image.base, reason, nullptr);
  }
}

}  // namespace

std::int32_t Notify(const LoadedImage& image, Reason reason) {
  const bool starting = reason == ProcessLoad || reason == ThreadStart;
  if (starting) RunTlsCallbacks(image, reason);
  std::int32_t answer = 1;
  if (image.entry != 0) answer = reinterpret_cast<EntryPoint>(image.entry)(image.base, reason, nullptr);
  if (!starting) RunTlsCallbacks(image, reason);
  return answer;
}

}  // namespace peload
