// The desktop entries (".desktop" launchers) that stand in for shell links:
// their file names and their text. Pure functions, any thread.
#pragma once

#include <string>
#include <string_view>

// The file a shortcut named by link is written to: a ".lnk" ending (any
// case) becomes ".desktop"; ".desktop" is added to any other name that does
// not already end in it.
std::u16string DesktopEntryPath(std::u16string_view link);

// The name the launcher shows: the link's last component less its ".lnk" or
// ".desktop" ending.
std::u16string DesktopEntryName(std::u16string_view link);

// The UTF-8 text of an application launcher. Exec= holds the target and the
// arguments, which are split as a Windows program splits its command line
// (blanks separate, double quotes group, backslashes escape only quotes),
// each quoted and escaped by the desktop-entry rules so that a launcher
// hands the program exactly those arguments. Path= only for a working
// folder, Icon= only for an icon other than the target; X-Zep-Install= names
// the install folder of the installation that made the launcher.
std::string DesktopEntryText(std::u16string_view name, std::u16string_view target, std::u16string_view arguments,
                             std::u16string_view workingFolder, std::u16string_view iconPath,
                             std::u16string_view installFolder);

// True when the launcher's text says the installation in installFolder made
// it: its X-Zep-Install= names that folder, or, for a launcher without that
// key (written before it existed), its Exec= or Path= names the folder or a
// path below it.
bool DesktopEntryMadeBy(std::string_view text, std::u16string_view installFolder);
