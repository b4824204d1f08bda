// SPDX-License-Identifier: Zlib
// Lookups in a .tov archive against a std::unordered_map of the same names,
// libzip and PhysFS on a stored zip of the same files; opening an archive
// against opening and mounting the zip; listing a directory; a reload when
// nothing changed against a stat. Run by bench/archive.sh, which
// prepares the tree, the archive, the zip and the list of names:
//   archive_bench [benchmark flags] ARCHIVE ZIP NAMES
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <physfs.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "tov/tov_archive.h"
#include "zu_sys.h"

namespace {

std::string g_archive, g_zip;
std::vector<std::string> g_names;   // in random order
std::vector<std::string> g_listed;  // in the listed order, as packed
std::vector<u64> g_hashes;

TovArchiveSet* open_set() {
  const char* paths[] = {g_archive.c_str()};
  TovArchiveSetDesc desc = {paths, 1};
  return tov_archive_create(&desc);
}

void BM_TovLookupByName(benchmark::State& state) {
  TovArchiveSet* set = open_set();
  size_t i = 0;
  TovFileInfo info;
  for (auto _ : state) {
    bool found = tov_archive_access_file(set, g_names[i].c_str(), &info);
    benchmark::DoNotOptimize(found);
    if (++i == g_names.size()) i = 0;
  }
  tov_archive_destroy(set);
}

void BM_TovLookupByHash(benchmark::State& state) {
  TovArchiveSet* set = open_set();
  size_t i = 0;
  TovFileInfo info;
  for (auto _ : state) {
    bool found = tov_archive_access_file_by_hash(set, g_hashes[i], &info);
    benchmark::DoNotOptimize(found);
    if (++i == g_hashes.size()) i = 0;
  }
  tov_archive_destroy(set);
}

// Hashing the name and looking up by hash: a lookup without the name check.
void BM_TovHashThenLookup(benchmark::State& state) {
  TovArchiveSet* set = open_set();
  size_t i = 0;
  TovFileInfo info;
  for (auto _ : state) {
    const std::string& name = g_names[i];
    bool found =
        tov_archive_access_file_by_hash(set, tov_archive_hash(name.data(), name.size()), &info);
    benchmark::DoNotOptimize(found);
    if (++i == g_names.size()) i = 0;
  }
  tov_archive_destroy(set);
}

// The name's hash alone (strlen and XXH3), which every lookup by name pays
// before it reads the archive.
void BM_NameHash(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    const char* name = g_names[i].c_str();
    benchmark::DoNotOptimize(tov_archive_hash(name, strlen(name)));
    if (++i == g_names.size()) i = 0;
  }
}

void BM_TovLookupBatch64(benchmark::State& state) {
  TovArchiveSet* set = open_set();
  std::vector<const char*> names;
  for (const std::string& name : g_names) names.push_back(name.c_str());
  TovFileInfo out[64];
  size_t i = 0;
  for (auto _ : state) {
    if (i + 64 > names.size()) i = 0;
    benchmark::DoNotOptimize(tov_archive_access_files(set, names.data() + i, 64, out, 64));
    i += 64;
  }
  state.SetItemsProcessed(state.iterations() * 64);
  tov_archive_destroy(set);
}

void BM_TovLookupBatch64ByHash(benchmark::State& state) {
  TovArchiveSet* set = open_set();
  TovFileInfo out[64];
  size_t i = 0;
  for (auto _ : state) {
    if (i + 64 > g_hashes.size()) i = 0;
    benchmark::DoNotOptimize(
        tov_archive_access_files_by_hash(set, g_hashes.data() + i, 64, out, 64));
    i += 64;
  }
  state.SetItemsProcessed(state.iterations() * 64);
  tov_archive_destroy(set);
}

// Opens the archive, looks every name up once and closes it again.
void first_pass() {
  TovArchiveSet* set = open_set();
  TovFileInfo info;
  for (const std::string& name : g_names)
    benchmark::DoNotOptimize(tov_archive_access_file(set, name.c_str(), &info));
  tov_archive_destroy(set);
}

// The first pass after opening, per lookup: the cost of the first touches
// of a fresh mapping.
void BM_TovFirstPassPerLookup(benchmark::State& state) {
  for (auto _ : state) first_pass();
  state.SetItemsProcessed(state.iterations() * g_names.size());
}

// The same with the archive dropped from the page cache first: every page
// the lookups touch is read in again.
void BM_TovFirstPassColdPerLookup(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    int descriptor = open(g_archive.c_str(), O_RDONLY);
    if (descriptor < 0 || posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED) != 0)
      state.SkipWithError("could not drop the archive from the page cache");
    if (descriptor >= 0) close(descriptor);
    state.ResumeTiming();
    first_pass();
  }
  state.SetItemsProcessed(state.iterations() * g_names.size());
  first_pass();  // read in again, so that the next benchmark finds it cached
}

void BM_TovOpen(benchmark::State& state) {
  for (auto _ : state) tov_archive_destroy(open_set());
}

// Checking the whole archive without its content hashes, next to opening it.
void BM_TovVerify(benchmark::State& state) {
  ZuMappedFile* mapping = filesystem_mapped_file_create(g_archive.c_str());
  u64 size = 0;
  const void* bytes = filesystem_mapped_file_get_memory(mapping, &size);
  for (auto _ : state)
    if (!tov_archive_verify(bytes, size, 0, nullptr, 0)) state.SkipWithError("not valid");
  filesystem_mapped_file_destroy(mapping);
}

void BM_TovListDirectoryByType(benchmark::State& state) {
  TovArchiveSet* set = open_set();
  std::vector<TovFileInfo> out(g_names.size());
  for (auto _ : state)
    benchmark::DoNotOptimize(
        tov_archive_index_directory(set, "area_07/", 2, out.data(), out.size()));
  tov_archive_destroy(set);
}

void BM_UnorderedMapLookup(benchmark::State& state) {
  // Filled in the listed order, as the archive's records lie: filled in query
  // order, its nodes would be read one after the other, as a stream.
  std::unordered_map<std::string, size_t> map;
  for (size_t i = 0; i < g_listed.size(); ++i) map[g_listed[i]] = i;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.find(g_names[i]));
    if (++i == g_names.size()) i = 0;
  }
}

void BM_LibzipOpen(benchmark::State& state) {
  for (auto _ : state) {
    int error = 0;
    zip_t* archive = zip_open(g_zip.c_str(), ZIP_RDONLY, &error);
    if (!archive) state.SkipWithError("zip_open failed");
    zip_discard(archive);
  }
}

void BM_LibzipLocate(benchmark::State& state) {
  int error = 0;
  zip_t* archive = zip_open(g_zip.c_str(), ZIP_RDONLY, &error);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(zip_name_locate(archive, g_names[i].c_str(), 0));
    if (++i == g_names.size()) i = 0;
  }
  zip_discard(archive);
}

void BM_PhysfsMount(benchmark::State& state) {
  for (auto _ : state) {
    PHYSFS_mount(g_zip.c_str(), nullptr, 1);
    PHYSFS_unmount(g_zip.c_str());
  }
}

void BM_PhysfsExists(benchmark::State& state) {
  PHYSFS_mount(g_zip.c_str(), nullptr, 1);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(PHYSFS_exists(g_names[i].c_str()));
    if (++i == g_names.size()) i = 0;
  }
  PHYSFS_unmount(g_zip.c_str());
}

void BM_PhysfsListDirectoryFiltered(benchmark::State& state) {
  PHYSFS_mount(g_zip.c_str(), nullptr, 1);
  for (auto _ : state) {
    // PhysFS lists one folder level; the tree's files are two levels down.
    size_t count = 0;
    char** zones = PHYSFS_enumerateFiles("area_07");
    for (char** zone = zones; *zone; ++zone) {
      std::string folder = std::string("area_07/") + *zone;
      char** files = PHYSFS_enumerateFiles(folder.c_str());
      for (char** file = files; *file; ++file) {
        std::string name = *file;
        count += name.size() > 4 && name.compare(name.size() - 4, 4, ".bin") == 0;
      }
      PHYSFS_freeList(files);
    }
    PHYSFS_freeList(zones);
    benchmark::DoNotOptimize(count);
  }
  PHYSFS_unmount(g_zip.c_str());
}

// A game's reload every frame while nothing changes: with an interval of 0
// every call looks at the disk (one stat of the archive); with 10 ms, as
// the example loop reloads, almost every call only reads the clock. The
// peer is the stat alone, the floor of a look.
void BM_TovReloadUnchanged(benchmark::State& state) {
  TovArchiveSet* set = open_set();
  u32 interval = (u32)state.range(0);
  for (auto _ : state) benchmark::DoNotOptimize(tov_archive_reload(set, interval));
  tov_archive_destroy(set);
}

void BM_StatArchive(benchmark::State& state) {
  ZuFileStamp stamp;
  for (auto _ : state) benchmark::DoNotOptimize(filesystem_get_stamp(g_archive.c_str(), &stamp));
}

}  // namespace

BENCHMARK(BM_TovOpen);
BENCHMARK(BM_TovReloadUnchanged)->Arg(0)->Arg(10);
BENCHMARK(BM_StatArchive);
BENCHMARK(BM_PhysfsMount)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LibzipOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TovLookupByName);
BENCHMARK(BM_TovLookupByHash);
BENCHMARK(BM_TovHashThenLookup);
BENCHMARK(BM_NameHash);
BENCHMARK(BM_TovLookupBatch64);
BENCHMARK(BM_TovLookupBatch64ByHash);
BENCHMARK(BM_TovFirstPassPerLookup)->Iterations(5);
BENCHMARK(BM_TovFirstPassColdPerLookup)->Iterations(3);
BENCHMARK(BM_UnorderedMapLookup);
BENCHMARK(BM_PhysfsExists);
BENCHMARK(BM_LibzipLocate);
BENCHMARK(BM_TovListDirectoryByType);
BENCHMARK(BM_TovVerify)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhysfsListDirectoryFiltered)->Iterations(10);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc < 4) {
    fprintf(stderr, "usage: %s [benchmark flags] ARCHIVE ZIP NAMES\n", argv[0]);
    return 2;
  }
  g_archive = argv[1];
  g_zip = argv[2];
  std::ifstream names(argv[3]);
  for (std::string line; std::getline(names, line);)
    if (!line.empty()) g_names.push_back(line);
  TovArchiveSet* set = open_set();
  if (!set || g_names.empty()) {
    fprintf(stderr, "%s: cannot open the archive '%s' or no names in '%s'\n", argv[0], argv[1],
            argv[3]);
    return 1;
  }
  tov_archive_destroy(set);
  g_listed = g_names;
  std::shuffle(g_names.begin(), g_names.end(), std::mt19937_64(7));
  // The queries' own text is laid out in query order, as a caller's list of
  // names would be: every peer then reads it as a stream, and the lookups
  // differ only in the reads of their own structures.
  std::vector<std::string> queries(g_names.begin(), g_names.end());
  g_names.swap(queries);
  for (const std::string& name : g_names)
    g_hashes.push_back(tov_archive_hash(name.data(), name.size()));
  PHYSFS_init(argv[0]);
  benchmark::RunSpecifiedBenchmarks();
  PHYSFS_deinit();
  return 0;
}
