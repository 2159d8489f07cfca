#include "crashreport/ini_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "crashreport/bounded_text.h"
#include "crashreport/crash_file_names.h"

namespace faultwick {

namespace {

char g_in[kMaxIniFile + 1];
char g_out[kMaxIniFile + 2 * kMaxPath];

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const char* a, size_t n, const char* b) {
  size_t i = 0;
  for (; i < n && b[i]; ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return i == n && b[i] == '\0';
}

void Trim(const char*& s, const char*& e) {
  while (s < e && IsBlank(*s)) ++s;
  while (e > s && (IsBlank(e[-1]) || e[-1] == '\r' || e[-1] == '\n')) --e;
}

// A section header's name, or false for other lines.
bool SectionName(const char* s, const char* e, const char** name, size_t* n) {
  Trim(s, e);
  if (s >= e || *s != '[') return false;
  const char* close = s + 1;
  while (close < e && *close != ']') ++close;
  if (close >= e) return false;
  const char* ns = s + 1;
  const char* ne = close;
  Trim(ns, ne);
  *name = ns;
  *n = static_cast<size_t>(ne - ns);
  return true;
}

// The key of a "Key=Value" line, or false.
bool KeyName(const char* s, const char* e, const char** name, size_t* n, const char** value) {
  const char* eq = s;
  while (eq < e && *eq != '=') ++eq;
  if (eq >= e) return false;
  const char* ks = s;
  const char* ke = eq;
  Trim(ks, ke);
  *name = ks;
  *n = static_cast<size_t>(ke - ks);
  *value = eq + 1;
  return true;
}

// One line of the file, from its start to `next` (its newline included),
// with its section or key name where it has one.
struct IniLine {
  const char* next;
  bool section;  // "[name]"
  bool key;      // "name=value", the value running from `value` to `next`
  const char* name;
  size_t n;
  const char* value;
};

IniLine ReadLine(const char* line, const char* end) {
  IniLine l{};
  const char* eol = line;
  while (eol < end && *eol != '\n') ++eol;
  l.next = eol < end ? eol + 1 : end;
  l.section = SectionName(line, l.next, &l.name, &l.n);
  l.key = !l.section && KeyName(line, l.next, &l.name, &l.n, &l.value);
  return l;
}

ssize_t ReadAll(const char* path, char* buf, size_t capacity, bool* missing) {
  *missing = false;
  int fd;
  do fd = ::open(path, O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    *missing = errno == ENOENT;
    return -1;
  }
  size_t len = 0;
  for (;;) {
    ssize_t n = ::read(fd, buf + len, capacity - len);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return -1;
    }
    if (n == 0) break;
    len += static_cast<size_t>(n);
    if (len == capacity) break;
  }
  ::close(fd);
  return static_cast<ssize_t>(len);
}

bool WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

bool WriteIniString(const char* path, const char* section, const char* key, const char* value) {
  bool missing = false;
  ssize_t got = ReadAll(path, g_in, sizeof g_in, &missing);
  size_t len = 0;
  if (got < 0 && !missing) return false;
  if (got > 0) len = static_cast<size_t>(got);
  if (len > kMaxIniFile) return false;  // too large to rewrite without losing lines

  // Find where the pair goes: over the key's line, else after the
  // section's last non-blank line, else in a new section at the end.
  const char* end = g_in + len;
  const char* key_line = nullptr;
  const char* key_next = nullptr;
  const char* insert_at = nullptr;
  bool in_section = false;
  for (const char* line = g_in; line < end;) {
    const IniLine l = ReadLine(line, end);
    if (l.section) {
      if (in_section) break;  // only the first section of that name counts
      in_section = SameName(l.name, l.n, section);
      if (in_section) insert_at = l.next;
    } else if (in_section) {
      if (l.key && SameName(l.name, l.n, key)) {
        key_line = line;
        key_next = l.next;
        break;
      }
      const char* s = line;
      const char* e = l.next;
      Trim(s, e);
      if (s < e) insert_at = l.next;
    }
    line = l.next;
  }

  BoundedText out(g_out, sizeof g_out);
  auto add_pair = [&] { out.Add(key).AddChar('=').Add(value).Add("\r\n"); };
  if (key_line) {
    out.Add(g_in, static_cast<size_t>(key_line - g_in));
    add_pair();
    out.Add(key_next, static_cast<size_t>(end - key_next));
  } else if (insert_at) {
    out.Add(g_in, static_cast<size_t>(insert_at - g_in));
    if (insert_at > g_in && insert_at[-1] != '\n') out.Add("\r\n");
    add_pair();
    out.Add(insert_at, static_cast<size_t>(end - insert_at));
  } else {
    out.Add(g_in, len);
    if (len > 0 && g_in[len - 1] != '\n') out.Add("\r\n");
    out.AddChar('[').Add(section).Add("]\r\n");
    add_pair();
  }
  if (out.overflowed()) return false;

  char temp[kMaxPath];
  BoundedText temp_path(temp, sizeof temp);
  temp_path.Add(path).Add(".new");
  if (temp_path.overflowed()) return false;
  int fd;
  do fd = ::open(temp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, out.c_str(), out.size());
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temp, path) != 0) {
    ::unlink(temp);
    return false;
  }
  return true;
}

bool ReadIniString(const char* path, const char* section, const char* key, char* out,
                   size_t capacity) {
  if (capacity == 0) return false;
  out[0] = '\0';
  static char buf[kMaxIniFile + 1];
  bool missing = false;
  ssize_t got = ReadAll(path, buf, kMaxIniFile, &missing);
  if (got < 0) return false;
  const char* end = buf + got;
  bool in_section = false;
  for (const char* line = buf; line < end;) {
    const IniLine l = ReadLine(line, end);
    if (l.section) {
      in_section = SameName(l.name, l.n, section);
    } else if (in_section && l.key && SameName(l.name, l.n, key)) {
      const char* val = l.value;
      const char* ve = l.next;
      Trim(val, ve);
      BoundedText t(out, capacity);
      t.Add(val, static_cast<size_t>(ve - val));
      return !t.overflowed();
    }
    line = l.next;
  }
  return false;
}

}  // namespace faultwick
