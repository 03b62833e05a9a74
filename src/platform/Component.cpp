#include "platform/Component.h"

#include <algorithm>

namespace zvword {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->InsertComponent(this);
}

TComponent::~TComponent() {
  // Owned components unregister themselves while being destroyed, so work on a copy.
  std::vector<TComponent*> owned;
  owned.swap(components_);
  for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
    (*it)->owner_ = nullptr;
    delete *it;
  }
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::RemoveComponent(TComponent* c) {
  components_.erase(std::remove(components_.begin(), components_.end(), c), components_.end());
}

}  // namespace zvword
