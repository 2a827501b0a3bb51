// VanticObject and ObjectsManager.
#include <limits>
#include <utility>

#include "hostapi/vantic_objects.h"

VanticObject::VanticObject(uint32_t id, std::string className, std::string name)
    : _id(id), _className(std::move(className)), _name(std::move(name)) {}

float VanticObject::GetFloat(const std::string& key) const {
  auto it = _floats.find(key);
  return it == _floats.end() ? 0.0f : it->second;
}

Vec3 VanticObject::GetVector(const std::string& key) const {
  auto it = _vectors.find(key);
  return it == _vectors.end() ? Vec3{0.0f, 0.0f, 0.0f} : it->second;
}

VanticObject* ObjectsManager::Create(const std::string& className, const std::string& name) {
  // Every id but 0 is taken: there is no id left to give.
  if (_objects.size() >= std::numeric_limits<uint32_t>::max()) return nullptr;
  // The next id not taken (CreateWithId may have taken some), never 0.
  while (_nextId == 0 || _objects.count(_nextId) != 0) ++_nextId;
  const uint32_t id = _nextId++;
  return CreateWithId(id, className, name);
}

VanticObject* ObjectsManager::CreateWithId(uint32_t id, const std::string& className,
                                           const std::string& name) {
  if (id == 0 || _objects.count(id) != 0) return nullptr;
  auto object = std::make_unique<VanticObject>(id, className, name);
  VanticObject* raw = object.get();
  _objects.emplace(id, std::move(object));
  return raw;
}

VanticObject* ObjectsManager::Get(uint32_t id) const {
  auto it = _objects.find(id);
  return it == _objects.end() ? nullptr : it->second.get();
}

VanticObject* ObjectsManager::FindByName(const std::string& name) const {
  for (const auto& [id, object] : _objects) {
    if (object->Name() == name) return object.get();
  }
  return nullptr;
}

bool ObjectsManager::Remove(uint32_t id) { return _objects.erase(id) != 0; }

void ObjectsManager::Clear() {
  _objects.clear();
  _nextId = 1;
}

std::vector<VanticObject*> ObjectsManager::All() const {
  std::vector<VanticObject*> all;
  all.reserve(_objects.size());
  for (const auto& [id, object] : _objects) all.push_back(object.get());
  return all;
}
