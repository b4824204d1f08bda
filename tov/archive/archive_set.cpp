// SPDX-License-Identifier: Zlib
#include "archive_set.h"

namespace {

void unload_with_overlay(LoadedArchive* archive) {
  if (archive->overlay) archive_unload(archive->overlay);
  archive_unload(archive);
}

// The calls below change the set with nobody else using it, so the view
// they replace goes at once.
void publish(TovArchiveSet* set) { sys_free(archive_set_publish(set)); }

}  // namespace

ArchiveView* archive_view_build(LoadedArchive* const* archives, u32 count) {
  u32 expanded = count;
  for (u32 i = 0; i < count; ++i) expanded += archives[i]->overlay ? 1 : 0;
  u64 bytes = sizeof(ArchiveView) + (expanded ? expanded - 1 : 0) * sizeof(LoadedArchive*);
  ArchiveView* view = (ArchiveView*)sys_malloc(bytes);
  memset((void*)view, 0, bytes);
  for (u32 i = 0; i < count; ++i) {
    if (archives[i]->overlay) view->archives[view->count++] = archives[i]->overlay;
    view->archives[view->count++] = archives[i];
  }
  for (u32 i = 0; i < view->count; ++i) view->any_hides |= view->archives[i]->hides;
  if (view->count) {
    memcpy((void*)&view->first, (const void*)view->archives[0], sizeof(LoadedArchive));
  } else {
    // Holds nothing: no tables, no entries.
    view->first.names = archive_table_view(nullptr, 0);
    view->first.directories = archive_table_view(nullptr, 0);
    view->first.hidden = archive_table_view(nullptr, 0);
    view->first.path_text = "";
  }
  return view;
}

ArchiveView* archive_set_publish(TovArchiveSet* set) {
  ArchiveView* view = archive_view_build(set->archives.data, set->archives.count);
  ArchiveView* old = (ArchiveView*)set->view;
  __atomic_store_n(&set->view, view, __ATOMIC_RELEASE);
  return old;
}

TovArchiveSet* tov_archive_create(const TovArchiveSetDesc* desc) {
  TovArchiveSet* set = (TovArchiveSet*)sys_malloc(sizeof(TovArchiveSet));
  memset((void*)set, 0, sizeof(*set));
  publish(set);
  if (!tov_archive_add_archives(set, desc->paths, desc->count, TOV_ARCHIVE_END)) {
    tov_archive_destroy(set);
    return nullptr;
  }
  return set;
}

void tov_archive_destroy(TovArchiveSet* set) {
  if (!set) return;
  for (u32 i = 0; i < set->archives.count; ++i) unload_with_overlay(set->archives.data[i]);
  tov_archive_release(set, ~0ull);
  sys_free((void*)set->view);
  zu_array_destroy(&set->archives);
  zu_array_destroy(&set->saved_order);
  zu_array_destroy(&set->retired);
  for (u32 i = 0; i < set->folders.count; ++i) zu_string_destroy(&set->folders.data[i].path);
  zu_array_destroy(&set->folders);
  zu_array_destroy(&set->changes);
  sys_free(set);
}

bool tov_archive_add_archives(TovArchiveSet* set, const char* const* paths, u64 count,
                              u64 position) {
  if (count == 0) return true;
  LoadedArchive** loaded = (LoadedArchive**)sys_malloc(count * sizeof(LoadedArchive*));
  for (u64 i = 0; i < count; ++i) {
    loaded[i] = archive_load(paths[i]);
    if (!loaded[i]) {
      for (u64 k = 0; k < i; ++k) unload_with_overlay(loaded[k]);
      sys_free(loaded);
      return false;
    }
  }
  if (position == TOV_ARCHIVE_END || position > set->archives.count) position = set->archives.count;
  for (u64 i = 0; i < count; ++i) zu_array_insert(&set->archives, position + i, loaded[i]);
  sys_free(loaded);
  publish(set);
  return true;
}

bool tov_archive_remove_archives(TovArchiveSet* set, const char* const* paths, u64 count) {
  for (u64 p = 0; p < count; ++p) {
    for (u32 i = 0; i < set->archives.count;) {
      LoadedArchive* archive = set->archives.data[i];
      if (zu_string_equal_text(&archive->path, paths[p])) {
        unload_with_overlay(archive);
        zu_array_remove(&set->archives, i);
      } else {
        ++i;
      }
    }
  }
  publish(set);
  return false;
}

bool tov_archive_is_loaded(const TovArchiveSet* set, const char* path) {
  for (u32 i = 0; i < set->archives.count; ++i)
    if (zu_string_equal_text(&set->archives.data[i]->path, path)) return true;
  return false;
}

void tov_archive_persist_order(TovArchiveSet* set) {
  zu_array_clear(&set->saved_order);
  for (u32 i = 0; i < set->archives.count; ++i)
    zu_string_init_copy(zu_array_push_zeroed(&set->saved_order), &set->archives.data[i]->path);
}

void tov_archive_restore_order(TovArchiveSet* set) {
  for (u32 i = 0; i < set->saved_order.count && i < set->archives.count; ++i) {
    for (u32 j = 0; j < set->archives.count; ++j) {
      if (!zu_string_equal(&set->archives.data[j]->path, set->saved_order.data + i)) continue;
      if (j != i) {
        LoadedArchive* swap = set->archives.data[i];
        set->archives.data[i] = set->archives.data[j];
        set->archives.data[j] = swap;
      }
      break;
    }
  }
  publish(set);
}

bool tov_archive_describe(const TovArchiveSet* set, u64 index, TovArchiveInfo* out) {
  const ArchiveView* view = archive_set_view(set);
  if (index >= view->count) return false;
  const LoadedArchive* archive = view->archives[index];
  *out = {archive->path_text, 0, 0, 0, 0};
  if (archive->size < sizeof(ArchiveHeader)) return true;
  const ArchiveHeader* header = archive_header(archive);
  out->total_size = header->total_size;
  out->type_count = header->type_count;
  // The tables' item counts: every file is in the name table, every folder
  // in the directory table.
  out->file_count = ((const ArchiveHashTable*)archive->names.slots - 1)->item_count;
  out->directory_count = ((const ArchiveHashTable*)archive->directories.slots - 1)->item_count;
  return true;
}
