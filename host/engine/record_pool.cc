#include "host/engine/record_pool.h"

#include <cstring>
#include <set>

namespace record_pool {
namespace {

template <class Record>
struct BytewiseLess {
  bool operator()(const Record& a, const Record& b) const {
    return std::memcmp(&a, &b, sizeof(Record)) < 0;
  }
};

// Made on first use and never destroyed, so that channels that outlive the
// library's static objects still read valid records. std::set keeps its
// elements in place as it grows.
template <class Record>
std::set<Record, BytewiseLess<Record>>& Pool() {
  static auto* pool = new std::set<Record, BytewiseLess<Record>>();
  return *pool;
}

}  // namespace

const ChannelType* Intern(const ChannelType& type) { return &*Pool<ChannelType>().insert(type).first; }

const ChildCreation* Intern(const ChildCreation& creation) {
  return &*Pool<ChildCreation>().insert(creation).first;
}

const ChannelType* EmptyType() {
  static const ChannelType* empty = Intern(ChannelType());
  return empty;
}

const ChildCreation* DefaultCreation() {
  static const ChildCreation* created = Intern(ChildCreation());
  return created;
}

}  // namespace record_pool
