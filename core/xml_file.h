// Small access class for an XML file with one root element: open or create,
// build it in order, save, and walk the tree for reading.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {
class AtomicFileWriter;
}

class CXMLFile {
 public:
  CXMLFile();
  virtual ~CXMLFile();
  CXMLFile(const CXMLFile&) = delete;
  CXMLFile& operator=(const CXMLFile&) = delete;

  // Loads the file when it exists, else starts a document holding only the
  // declaration and an empty root (named "Tasks" when `root` is empty). A
  // file that cannot be read or parsed is reported in a message box with the
  // parser's reason (caption "Error") and gives false. Opening twice fails.
  bool Open(const std::string& path, const std::string& root = "");
  // Leaves the parse-error box to the caller, who reads ErrorText().
  void SetQuiet(bool quiet) { quiet_ = quiet; }

  // Starts over with an empty document whose root is "Tasks". The file on
  // disk stays as it is until Save replaces it.
  bool Reset();

  // Appends an element `name` below `parent` (the root when `parent` is
  // empty) without looking for one of that name first: a fresh document is
  // built in order this way in linear time. Empty on failure.
  pugi::xml_node AppendElement(pugi::xml_node parent, const char* name);
  // The same with `text` as the element's value (made XML text with ToXmlText).
  pugi::xml_node AppendValue(pugi::xml_node parent, const char* name, std::string_view text);

  // Writes the document to `path` through a temporary file renamed over it,
  // so a failure leaves the old file whole.
  bool Save(const std::string& path);
  bool Save(const std::string& path, platform::AtomicFileWriter& writer);

  bool IsOpen() const { return doc_ != nullptr; }
  // The root element when it carries the name given at Open; else empty.
  pugi::xml_node Root() const;
  // The message of the last load failure.
  const std::string& ErrorText() const { return error_; }

  // Text the document can hold and any XML 1.0 reader can read back: valid
  // UTF-8 (each stray byte becomes U+FFFD), without the control characters
  // XML 1.0 cannot carry (all below 0x20 except tab, LF and CR) and without
  // U+FFFE and U+FFFF.
  static std::string ToXmlText(std::string_view text);

 private:
  bool CreateEmpty(const std::string& root);

  std::unique_ptr<pugi::xml_document> doc_;
  std::string path_;
  std::string root_;
  std::string error_;
  bool quiet_ = false;
};
