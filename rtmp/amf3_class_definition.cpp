#include "rtmp/amf3_class_definition.h"

#include <utility>

AMF3ClassDefinition::AMF3ClassDefinition(std::string className, bool externalizable, bool dynamic)
    : className_(std::move(className)), externalizable_(externalizable), dynamic_(dynamic) {}

AMF3ClassDefinition::~AMF3ClassDefinition() = default;

void AMF3ClassDefinition::AddMember(const std::string& name) { members_.push_back(name); }

const std::string& AMF3ClassDefinition::GetMember(int index) const {
  if (index < 0 || index >= GetMemberCount()) return empty_;
  return members_[index];
}

int AMF3ClassDefinition::GetMemberCount() const { return static_cast<int>(members_.size()); }
