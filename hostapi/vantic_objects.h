// Objects of the framework: what a "CoreRef" channel refers to and what a
// procedure that is not static runs on. An object has an id, a class name,
// a name, and named float and vector properties.
#ifndef HOSTAPI_VANTIC_OBJECTS_H_
#define HOSTAPI_VANTIC_OBJECTS_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hostapi/export.h"
#include "hostapi/float_channel.h"

class VANTIC_API VanticObject {
 public:
  VanticObject(uint32_t id, std::string className, std::string name);

  uint32_t Id() const { return _id; }
  const std::string& ClassName() const { return _className; }
  const std::string& Name() const { return _name; }

  // Properties; a missing one reads as 0 / (0,0,0) and Has* answers false.
  float GetFloat(const std::string& key) const;
  void SetFloat(const std::string& key, float value) { _floats[key] = value; }
  bool HasFloat(const std::string& key) const { return _floats.count(key) != 0; }
  Vec3 GetVector(const std::string& key) const;
  void SetVector(const std::string& key, const Vec3& value) { _vectors[key] = value; }
  bool HasVector(const std::string& key) const { return _vectors.count(key) != 0; }
  const std::map<std::string, float>& Floats() const { return _floats; }
  const std::map<std::string, Vec3>& Vectors() const { return _vectors; }

 private:
  uint32_t _id;
  std::string _className;
  std::string _name;
  std::map<std::string, float> _floats;
  std::map<std::string, Vec3> _vectors;
};

// The framework's objects, by id (ids start at 1; 0 is "none").
class VANTIC_API ObjectsManager {
 public:
  // Creates an object and returns it; the manager owns it.
  VanticObject* Create(const std::string& className, const std::string& name);
  // Creates an object with a given id (for loading); null if the id is 0 or
  // taken.
  VanticObject* CreateWithId(uint32_t id, const std::string& className, const std::string& name);
  VanticObject* Get(uint32_t id) const;
  VanticObject* FindByName(const std::string& name) const;
  bool Remove(uint32_t id);
  void Clear();
  std::vector<VanticObject*> All() const;

 private:
  std::map<uint32_t, std::unique_ptr<VanticObject>> _objects;
  uint32_t _nextId = 1;
};

#endif  // HOSTAPI_VANTIC_OBJECTS_H_
