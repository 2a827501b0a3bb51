// The links the scene asks of one channel: link name -> id of the channel
// to plug there, in link-name order. Both texts are the scene's own (its
// channels' links and its link events), which outlive the list; a channel
// keeps two pointers a link.
#ifndef RUNNER_SCENE_WANTED_LINKS_H_
#define RUNNER_SCENE_WANTED_LINKS_H_

#include <algorithm>
#include <string>
#include <vector>

namespace dravik {

class WantedLinks {
 public:
  struct Link {
    const std::string* param;
    const std::string* source;
  };

  // The link named `param`, or null.
  const Link* Find(const std::string& param) const {
    auto it = Position(param);
    return it != _links.end() && *it->param == param ? &*it : nullptr;
  }
  // Asks for `source` in link `param` (replacing what was asked there).
  // REQUIRES: both outlive the list.
  void Set(const std::string& param, const std::string& source) {
    auto it = Position(param);
    if (it != _links.end() && *it->param == param) {
      it->source = &source;
    } else {
      _links.insert(it, Link{&param, &source});
    }
  }
  // Asks for nothing in link `param`.
  void Erase(const std::string& param) {
    auto it = Position(param);
    if (it != _links.end() && *it->param == param) _links.erase(it);
  }
  void Reserve(size_t n) { _links.reserve(n); }

  std::vector<Link>::const_iterator begin() const { return _links.begin(); }
  std::vector<Link>::const_iterator end() const { return _links.end(); }
  size_t size() const { return _links.size(); }

 private:
  std::vector<Link>::iterator Position(const std::string& param) {
    return std::lower_bound(_links.begin(), _links.end(), param,
                            [](const Link& l, const std::string& p) { return *l.param < p; });
  }
  std::vector<Link>::const_iterator Position(const std::string& param) const {
    return std::lower_bound(_links.begin(), _links.end(), param,
                            [](const Link& l, const std::string& p) { return *l.param < p; });
  }

  std::vector<Link> _links;
};

}  // namespace dravik

#endif  // RUNNER_SCENE_WANTED_LINKS_H_
