// The commands of a setup run: each does one thing on the machine (copy a
// file, make or remove a folder, write or delete a registry value or key,
// make launchers, register or unregister the product, check the disc) and
// answers with what the worker does next. Made by the list builders, owned
// and run by the worker, on its thread.
#pragma once

#include <cstdint>
#include <string>

#include "setup/setup_ins.h"

class SetupAPIImpl;

namespace libsetup {

// Results of execute.
constexpr int32_t kCmdDone = 0;       // next command (also after a failure that is only logged)
constexpr int32_t kCmdRetry = 1;      // not available now: ask retry or abort
constexpr int32_t kCmdChangeDisc = 2; // the wrong disc: ask for the command's disc
constexpr int32_t kCmdCancelled = 3;  // the worker is stopping
constexpr int32_t kCmdFailed = -2;
constexpr int32_t kCmdNoData = -1;    // data the command needs is missing

// The weight of every command but a copy.
constexpr uint64_t kCommandWeight = 256;

class Command {
 public:
  Command(int32_t code, uint64_t weight) : code(code), weight(weight) {}
  virtual ~Command() = default;
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;

  virtual int32_t execute(SetupAPIImpl& worker) = 0;
  // Writes the command's line to the log at this level.
  virtual void describe(uint32_t level) const = 0;

  const int32_t code;
  // Bytes the command adds to the done bytes when it completes (a copy's
  // shrinks while it runs).
  uint64_t weight;
};

// Code 1: destination relative to the install folder, source relative to
// the media folder, the time stamp the copy gets.
class CmdCopyFile : public Command {
 public:
  CmdCopyFile(std::u16string destination, std::u16string source, int32_t time, uint64_t size);
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;

  const std::u16string destination;
  const std::u16string source;
  const int32_t time;
  uint64_t reported = 0;  // bytes already added to the progress
  SetupAPIImpl* worker = nullptr;  // while the copy runs (for its progress)
};

// Code 2: a full "/"-separated folder path.
class CmdMkdir : public Command {
 public:
  explicit CmdMkdir(std::u16string folder);
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;
  const std::u16string folder;
};

// Code 3: a full path and the folder it lies below, from which the delete
// walks down without following links (empty: the path as it stands).
class CmdDeleteFile : public Command {
 public:
  CmdDeleteFile(std::u16string base, std::u16string file);
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;
  const std::u16string base;
  const std::u16string file;
};

// Code 4: the same for an empty folder.
class CmdRmdir : public Command {
 public:
  CmdRmdir(std::u16string base, std::u16string folder);
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;
  const std::u16string base;
  const std::u16string folder;
};

// Code 5: carries out the action, which outlives the command (the action
// data is held by the worker).
class CmdRegCreate : public Command {
 public:
  explicit CmdRegCreate(const ns_SetupIns::ActRegCreateKey* action);
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;
  const ns_SetupIns::ActRegCreateKey* const action;
};

// Code 6.
class CmdRegCreateSubKey : public Command {
 public:
  CmdRegCreateSubKey(uint32_t hive, std::u16string key, std::u16string subKey);
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;
  const uint32_t hive;
  const std::u16string key;
  const std::u16string subKey;
};

// Code 7.
class CmdRegDelete : public Command {
 public:
  CmdRegDelete(uint32_t hive, std::u16string key, std::u16string valueName);
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;
  const uint32_t hive;
  const std::u16string key;
  const std::u16string valueName;
};

// Code 8. A key the installation made only on the way to its own goes only
// when nothing is left in it (onlyWhenEmpty); that it stays is no failure.
class CmdRegDeleteSubKey : public Command {
 public:
  CmdRegDeleteSubKey(uint32_t hive, std::u16string key, bool onlyWhenEmpty = false);
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;
  const uint32_t hive;
  const std::u16string key;
  const bool onlyWhenEmpty;
};

// Code 9.
class CmdCreateStartMenu : public Command {
 public:
  CmdCreateStartMenu();
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;
};

// Code 10.
class CmdCreateDesktopShortCut : public Command {
 public:
  CmdCreateDesktopShortCut();
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;
};

// Code 11: the item's name and its target, used unchanged.
class CmdAddStartMenu : public Command {
 public:
  CmdAddStartMenu(std::u16string name, std::u16string target);
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;
  const std::u16string name;
  const std::u16string target;
};

// Code 12: the Add/Remove Programs entry (the VERSION file that completes an
// installation is written at its finalisation).
class CmdRegisterProduct : public Command {
 public:
  CmdRegisterProduct();
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;
};

// Code 14.
class CmdUnregisterProduct : public Command {
 public:
  CmdUnregisterProduct();
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;
};

// Code 15.
class CmdChangeDisc : public Command {
 public:
  explicit CmdChangeDisc(int32_t discIndex);
  int32_t execute(SetupAPIImpl& worker) override;
  void describe(uint32_t level) const override;
  const int32_t discIndex;
};

}  // namespace libsetup
