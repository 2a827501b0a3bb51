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
//
// The manager owns its objects; the pointers it hands out stay valid until
// the object is removed, the manager cleared or destroyed.
class VANTIC_API ObjectsManager {
 public:
  // Creates an object under the next id not yet taken (ids are not reused
  // until Clear) and returns it; the manager owns it. Null only when every
  // id is taken.
  VanticObject* Create(const std::string& className, const std::string& name);
  // Creates an object with a given id (for loading); null if the id is 0 or
  // taken.
  VanticObject* CreateWithId(uint32_t id, const std::string& className, const std::string& name);
  // The object of that id, or null (always for 0).
  VanticObject* Get(uint32_t id) const;
  // The object of lowest id with that name, or null.
  VanticObject* FindByName(const std::string& name) const;
  // Destroys the object; false when there is none of that id.
  bool Remove(uint32_t id);
  // Destroys every object; ids start again at 1.
  void Clear();
  // Every object, by id.
  std::vector<VanticObject*> All() const;

 private:
  std::map<uint32_t, std::unique_ptr<VanticObject>> _objects;
  uint32_t _nextId = 1;
};

#endif  // HOSTAPI_VANTIC_OBJECTS_H_
