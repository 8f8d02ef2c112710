// The command lists of an install and of a patch, built on the worker thread
// while a run is prepared: folders first, then per disc a disc check and its
// copies, then registry values, subkeys and launchers in action order, then
// product registration. Every list path is a safe relative path (the readers
// refuse others), so everything lands below the install folder.
#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/log.h"
#include "platform/utf8.h"
#include "setup/safe_path.h"
#include "setup/setup_api_impl.h"
#include "setup/setup_commands.h"
#include "setup/setup_ins.h"
#include "setup/wildcard.h"

using ns_SetupIns::Action;
using ns_SetupIns::FileEntry;
using ns_SetupIns::FileGroup;

namespace {

using CopyList = std::vector<const FileEntry*>;

const FileGroup* findFileGroup(const SharedRef<ns_SetupIns::FileTable>& table, int32_t disc) {
  if (!table) return nullptr;
  const auto found = table->find(disc);
  if (found == table->end() || !found->second) return nullptr;
  return found->second.get();
}

// One folder command per parent folder of the copied files, ordinal order of
// the UTF-16 units: a parent sorts before its children.
void appendFolderCommands(const std::u16string& installFolder, const std::vector<const CopyList*>& lists,
                          std::vector<std::unique_ptr<libsetup::Command>>* commands) {
  std::set<std::u16string> folders;
  std::vector<std::u16string> parents;
  for (const CopyList* list : lists) {
    for (const FileEntry* entry : *list) {
      parents.clear();
      addParentFolders(entry->path, &parents);
      folders.insert(parents.begin(), parents.end());
    }
  }
  for (const std::u16string& folder : folders) {
    commands->push_back(std::make_unique<libsetup::CmdMkdir>(installFolder + u"/" + folder));
  }
}

void appendCopyCommands(const CopyList& list, std::vector<std::unique_ptr<libsetup::Command>>* commands) {
  for (const FileEntry* entry : list) {
    commands->push_back(std::make_unique<libsetup::CmdCopyFile>(entry->path, entry->path, entry->time,
                                                                static_cast<uint64_t>(entry->size)));
  }
}

}  // namespace

void addParentFolders(std::u16string_view path, std::vector<std::u16string>* out) {
  for (size_t slash = path.find(u'/'); slash != std::u16string_view::npos; slash = path.find(u'/', slash + 1)) {
    out->emplace_back(path.substr(0, slash));
  }
}

bool SetupAPIImpl::buildInstallCommands() {
  // Refused before anything is made or copied.
  if (const char16_t* fault = InstallFolderFault(installFolder_)) {
    LogWrite(LOG_WARN, fault, installFolder_);
    return false;
  }
  const ns_SetupIns::ActionGroup* group = nullptr;
  if (actions_) {
    const auto found = actions_->find(actionNumber_);
    if (found != actions_->end() && found->second) group = found->second.get();
  }
  if (!group) {
    LogWrite(LOG_DEBUG, u"存在しないアクション番号です(%d)\n", actionNumber_);
    return false;
  }

  // The copy actions by disc, in file order within each disc.
  std::map<int32_t, std::vector<const ns_SetupIns::ActCopy*>> copyActions;
  for (const SharedRef<Action>& action : *group) {
    if (!action || action->code != Action::kCopy) continue;
    if (const auto* copy = dynamic_cast<const ns_SetupIns::ActCopy*>(action.get())) {
      copyActions[copy->discIndex].push_back(copy);
    }
  }
  std::map<int32_t, CopyList> copyLists;
  for (const auto& [disc, copies] : copyActions) {
    const FileGroup* files = findFileGroup(files_, disc);
    if (!files) return false;
    CopyList& list = copyLists[disc];
    for (const ns_SetupIns::ActCopy* copy : copies) collectCopyFiles(*files, copy->pattern, &list);
  }

  // Every name the install puts into its folder must still open there: a
  // folder too long for them is refused before anything is made.
  size_t longest = 0;
  for (const auto& entry : copyLists) {
    for (const FileEntry* file : entry.second) longest = std::max(longest, platform::ToUtf8(file->path).size());
  }
  for (const std::u16string& name : setupFileNamesBelow(sourceFolder_)) {
    longest = std::max(longest, platform::ToUtf8(name).size());
  }
  if (!InstallPathFits(installFolder_, longest)) {
    LogWrite(LOG_WARN, kInstallFolderTooLong, installFolder_);
    return false;
  }

  std::vector<const CopyList*> lists;
  for (const auto& entry : copyLists) lists.push_back(&entry.second);
  appendFolderCommands(installFolder_, lists, &commands_);
  for (const auto& [disc, list] : copyLists) {
    // Also before the first disc: the media folder may hold any of them.
    commands_.push_back(std::make_unique<libsetup::CmdChangeDisc>(disc));
    appendCopyCommands(list, &commands_);
  }

  for (const SharedRef<Action>& action : *group) {
    if (!action) continue;
    switch (action->code) {
      case Action::kRegCreateKey:
        if (const auto* value = dynamic_cast<const ns_SetupIns::ActRegCreateKey*>(action.get())) {
          commands_.push_back(std::make_unique<libsetup::CmdRegCreate>(value));
        }
        break;
      case Action::kRegCreateSubKey:
        if (const auto* key = dynamic_cast<const ns_SetupIns::ActRegCreateSubKey*>(action.get())) {
          commands_.push_back(std::make_unique<libsetup::CmdRegCreateSubKey>(key->hive, key->keyPath, key->subKey));
        }
        break;
      case Action::kCreateStartMenu:
        commands_.push_back(std::make_unique<libsetup::CmdCreateStartMenu>());
        break;
      case Action::kCreateDesktopShortCut:
        commands_.push_back(std::make_unique<libsetup::CmdCreateDesktopShortCut>());
        break;
      case Action::kAddStartMenu:
        if (const auto* item = dynamic_cast<const ns_SetupIns::ActAddStartMenu*>(action.get())) {
          commands_.push_back(std::make_unique<libsetup::CmdAddStartMenu>(
              item->name, item->targetIsRelative ? installPath(item->target) : item->target));
        }
        break;
      default:
        // Copies are placed above; the uninstall action adds nothing here.
        break;
    }
  }

  commands_.push_back(std::make_unique<libsetup::CmdRegisterProduct>());
  return true;
}

bool SetupAPIImpl::buildPatchCommands() {
  // A patch has one disc, group 0; without it there is nothing to copy.
  const FileGroup* files = findFileGroup(files_, 0);
  if (!files) return true;
  CopyList list;
  for (const FileEntry& entry : *files) list.push_back(&entry);
  appendFolderCommands(installFolder_, {&list}, &commands_);
  appendCopyCommands(list, &commands_);
  return true;
}
