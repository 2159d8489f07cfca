#include "core/xml_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/atomic_file_writer.h"
#include "platform/file_system.h"
#include "platform/message_box.h"

namespace {

// Whitespace between elements is dropped; a value made only of blanks is kept.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata_single;

// No white space between elements, and "<a></a>" for empty values.
constexpr unsigned kSaveOptions = pugi::format_raw | pugi::format_no_empty_element_tags;

class WriterAdapter : public pugi::xml_writer {
 public:
  explicit WriterAdapter(platform::AtomicFileWriter& out) : out_(out) {}
  void write(const void* data, size_t size) override { out_.Write(data, size); }

 private:
  platform::AtomicFileWriter& out_;
};

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = byte(i);
  if (c < 0x80) return 1;
  size_t len;
  uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
  if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    return 0;
  }
  return len;
}

}  // namespace

CXMLFile::CXMLFile() = default;
CXMLFile::~CXMLFile() = default;

std::string CXMLFile::ToXmlText(std::string_view text) {
  static const char kReplacement[] = "\xEF\xBF\xBD";
  // Most values are printable ASCII and pass as they are.
  if (std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
    return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20) {
      if (c == '\t' || c == '\n' || c == '\r') out += static_cast<char>(c);
      ++i;
      continue;
    }
    size_t len = Utf8SequenceLength(text, i);
    if (len == 0) {
      out += kReplacement;
      ++i;
    } else if (len == 3 && c == 0xEF && text[i + 1] == '\xBF' &&
               (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
      out += kReplacement;  // U+FFFE, U+FFFF: not characters in XML
      i += 3;
    } else {
      out.append(text, i, len);
      i += len;
    }
  }
  return out;
}

bool CXMLFile::CreateEmpty(const std::string& root) {
  std::string name = root.empty() ? "Tasks" : root;
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><" + name + "></" + name + ">";
  auto doc = std::make_unique<pugi::xml_document>();
  if (!doc->load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8)) return false;
  doc_ = std::move(doc);
  root_ = name;
  return true;
}

bool CXMLFile::Open(const std::string& path, const std::string& root) {
  if (doc_) return false;
  path_ = path;
  error_.clear();
  if (!platform::FileExists(path)) return CreateEmpty(root);

  auto doc = std::make_unique<pugi::xml_document>();
  pugi::xml_parse_result result = doc->load_file(path.c_str(), kParseOptions, pugi::encoding_auto);
  if (!result) {
    error_ = path + ": " + result.description();
    if (result.status != pugi::status_file_not_found && result.status != pugi::status_io_error &&
        result.status != pugi::status_out_of_memory) {
      error_ += " (at byte " + std::to_string(result.offset) + ")";
    }
    if (!quiet_) platform::ShowMessageBox("Error", error_, platform::MB_OK | platform::MB_ICONERROR);
    return false;
  }
  doc_ = std::move(doc);
  root_ = root.empty() ? "Tasks" : root;
  return true;
}

bool CXMLFile::Reset() {
  doc_.reset();
  return CreateEmpty("Tasks");
}

pugi::xml_node CXMLFile::Root() const {
  if (!doc_) return {};
  pugi::xml_node root = doc_->document_element();
  return root_ == root.name() ? root : pugi::xml_node();
}

pugi::xml_node CXMLFile::AppendElement(pugi::xml_node parent, const char* name) {
  if (!parent) parent = Root();
  if (!parent) return {};
  return parent.append_child(name);
}

pugi::xml_node CXMLFile::AppendValue(pugi::xml_node parent, const char* name, std::string_view text) {
  pugi::xml_node node = AppendElement(parent, name);
  if (!node) return {};
  const std::string value = ToXmlText(text);
  if (value.empty()) return node;
  pugi::xml_node pcdata = node.append_child(pugi::node_pcdata);
  return pcdata && pcdata.set_value(value.data(), value.size()) ? node : pugi::xml_node();
}

bool CXMLFile::Save(const std::string& path) {
  platform::AtomicFileWriter writer;
  return Save(path, writer);
}

bool CXMLFile::Save(const std::string& path, platform::AtomicFileWriter& writer) {
  if (!doc_ || !writer.Begin(path)) return false;
  // The bytes are UTF-8 whatever the file that was opened declared.
  pugi::xml_node decl = doc_->first_child();
  if (decl.type() != pugi::node_declaration) {
    decl = doc_->prepend_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
  }
  pugi::xml_attribute encoding = decl.attribute("encoding");
  if (!encoding) encoding = decl.append_attribute("encoding");
  encoding = "UTF-8";
  WriterAdapter adapter(writer);
  doc_->save(adapter, "", kSaveOptions, pugi::encoding_utf8);
  return writer.Commit();
}
