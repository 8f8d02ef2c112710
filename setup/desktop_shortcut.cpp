#include "setup/desktop_shortcut.h"

#include <string_view>
#include <vector>

#include "platform/utf8.h"

namespace {

// The key that marks a launcher with the install folder that made it.
constexpr char kInstallKey[] = "X-Zep-Install";

bool endsWithIgnoringAsciiCase(std::u16string_view text, std::u16string_view ending) {
  if (text.size() < ending.size()) return false;
  const std::u16string_view tail = text.substr(text.size() - ending.size());
  for (size_t i = 0; i < tail.size(); ++i) {
    char16_t c = tail[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != ending[i]) return false;
  }
  return true;
}

// The arguments of a command-line tail, split by the rules of the Windows
// run-time: blanks and tabs separate outside quotes, a double quote opens or
// closes quoting, 2n backslashes before a quote give n backslashes and a
// quoting quote, 2n+1 give n backslashes and a literal quote, and other
// backslashes are literal.
std::vector<std::u16string> splitWindowsArguments(std::u16string_view text) {
  std::vector<std::u16string> args;
  size_t i = 0;
  for (;;) {
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    if (i == text.size()) return args;
    std::u16string arg;
    bool quoted = false;
    while (i < text.size() && (quoted || (text[i] != u' ' && text[i] != u'\t'))) {
      size_t backslashes = 0;
      while (i < text.size() && text[i] == u'\\') {
        ++backslashes;
        ++i;
      }
      if (i < text.size() && text[i] == u'"') {
        arg.append(backslashes / 2, u'\\');
        if (backslashes % 2 == 1) {
          arg += u'"';
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(backslashes, u'\\');
        if (i < text.size() && (quoted || (text[i] != u' ' && text[i] != u'\t'))) arg += text[i++];
      }
    }
    args.push_back(std::move(arg));
  }
}

// One argument of Exec=, before the string escaping: quoted when it is empty
// or holds a reserved character; "%" doubled either way.
std::u16string execArgument(std::u16string_view arg) {
  constexpr std::u16string_view kReserved = u" \t\n\"'\\><~|&;$*?#()`";
  bool quote = arg.empty();
  for (const char16_t c : arg) {
    if (kReserved.find(c) != std::u16string_view::npos || c == u'\r') quote = true;
  }
  std::u16string out;
  if (quote) out += u'"';
  for (const char16_t c : arg) {
    if (c == u'%') {
      out += u"%%";
      continue;
    }
    if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\')) out += u'\\';
    out += c;
  }
  if (quote) out += u'"';
  return out;
}

// The escaping of a string value: backslashes, line ends, tabs and a leading
// blank.
std::string stringValue(std::u16string_view value) {
  std::u16string out;
  for (size_t i = 0; i < value.size(); ++i) {
    switch (value[i]) {
      case u'\\': out += u"\\\\"; break;
      case u'\n': out += u"\\n"; break;
      case u'\r': out += u"\\r"; break;
      case u'\t': out += u"\\t"; break;
      case u' ': out += i == 0 ? u"\\s" : u" "; break;
      default: out += value[i];
    }
  }
  return platform::ToUtf8(out);
}

// The reverse of stringValue (for any string value of a desktop entry).
std::string unescapeString(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    const char c = value[++i];
    out += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  return out;
}

// The arguments of an Exec= value after its string escapes: blanks separate
// outside double quotes; inside them a backslash takes the next character.
std::vector<std::string> execArguments(const std::string& exec) {
  std::vector<std::string> args;
  std::string arg;
  bool inArg = false, quoted = false;
  for (size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted && c == '\\' && i + 1 < exec.size()) {
      arg += exec[++i];
    } else if (c == '"') {
      quoted = !quoted;
      inArg = true;
    } else if (c == ' ' && !quoted) {
      if (inArg) args.push_back(arg);
      arg.clear();
      inArg = false;
    } else {
      arg += c;
      inArg = true;
    }
  }
  if (inArg) args.push_back(arg);
  return args;
}

}  // namespace

std::u16string DesktopEntryPath(std::u16string_view link) {
  if (endsWithIgnoringAsciiCase(link, u".lnk")) return std::u16string(link.substr(0, link.size() - 4)) + u".desktop";
  if (endsWithIgnoringAsciiCase(link, u".desktop")) return std::u16string(link);
  return std::u16string(link) + u".desktop";
}

std::u16string DesktopEntryName(std::u16string_view link) {
  const size_t slash = link.rfind(u'/');
  std::u16string_view name = slash == std::u16string_view::npos ? link : link.substr(slash + 1);
  if (endsWithIgnoringAsciiCase(name, u".lnk")) {
    name.remove_suffix(4);
  } else if (endsWithIgnoringAsciiCase(name, u".desktop")) {
    name.remove_suffix(8);
  }
  return std::u16string(name);
}

std::string DesktopEntryText(std::u16string_view name, std::u16string_view target, std::u16string_view arguments,
                             std::u16string_view workingFolder, std::u16string_view iconPath,
                             std::u16string_view installFolder) {
  std::u16string exec = execArgument(target);
  for (const std::u16string& arg : splitWindowsArguments(arguments)) exec += u' ' + execArgument(arg);
  std::string text = "[Desktop Entry]\nType=Application\n";
  text += "Name=" + stringValue(name) + "\n";
  text += "Exec=" + stringValue(exec) + "\n";
  if (!workingFolder.empty()) text += "Path=" + stringValue(workingFolder) + "\n";
  if (!iconPath.empty() && iconPath != target) text += "Icon=" + stringValue(iconPath) + "\n";
  text += "Terminal=false\nCategories=Game;\n";
  text += std::string(kInstallKey) + "=" + stringValue(installFolder) + "\n";
  return text;
}

bool DesktopEntryMadeBy(std::string_view text, std::u16string_view installFolder) {
  const std::string folder = stringValue(installFolder);
  if (folder.empty()) return false;
  std::string_view mark, exec, path;
  bool marked = false;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == kInstallKey && !marked) {
      mark = value;
      marked = true;
    } else if (key == "Exec" && exec.empty()) {
      exec = value;
    } else if (key == "Path" && path.empty()) {
      path = value;
    }
  }
  if (marked) return mark == folder;
  const std::string wanted = platform::ToUtf8(installFolder);
  const auto inside = [&wanted](const std::string& value) {
    return value.compare(0, wanted.size(), wanted) == 0 && (value.size() == wanted.size() || value[wanted.size()] == '/');
  };
  if (inside(unescapeString(path))) return true;
  for (const std::string& arg : execArguments(unescapeString(exec))) {
    if (inside(arg)) return true;
  }
  return false;
}
