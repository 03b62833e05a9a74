// The component base of the host framework: an owner, a name, a tag; an owner destroys what it owns.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Types.h"

namespace zvword {

class ZVWORD_API TComponent {
 public:
  explicit TComponent(TComponent* owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const WideString& Name() const { return name_; }
  void SetName(const WideString& name) { name_ = name; }
  intptr_t Tag() const { return tag_; }
  void SetTag(intptr_t tag) { tag_ = tag; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }

 private:
  void InsertComponent(TComponent* c) { components_.push_back(c); }
  void RemoveComponent(TComponent* c);

  TComponent* owner_;
  WideString name_;
  intptr_t tag_ = 0;
  std::vector<TComponent*> components_;
};

}  // namespace zvword
