// Traits of an AMF3 object as read from its inline header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class AMF3ClassDefinition {
 public:
  AMF3ClassDefinition(std::string className, bool externalizable, bool dynamic);
  virtual ~AMF3ClassDefinition();

  void AddMember(const std::string& name);
  // Out of range gives an empty text.
  const std::string& GetMember(int index) const;
  int GetMemberCount() const;

  const std::string& GetClassName() const { return className_; }
  bool IsExternalizable() const { return externalizable_ != 0; }
  bool IsDynamic() const { return dynamic_ != 0; }

 private:
  std::string empty_;
  std::string className_;
  uint8_t externalizable_;
  uint8_t dynamic_;
  std::vector<std::string> members_;
};
