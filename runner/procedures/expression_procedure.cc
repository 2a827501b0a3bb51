#include "runner/procedures/expression_procedure.h"

#include <cmath>
#include <deque>
#include <memory>
#include <utility>

#include <muParser.h>

#include "hostapi/vantic_objects.h"
#include "runner/output/printable_text.h"
#include "runner/scene/json_text.h"
#include "runner/scene/scene_json.h"
#include "runner/procedures/var_access.h"

namespace dravik {
namespace {

constexpr const char kNameChars[] =
    "0123456789_abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ.";

// The compiled form: storage for every variable the expressions read, and
// one parser per output component. Storage addresses stay fixed (deque).
class ExpressionProgram {
 public:
  ExpressionProgram(std::string fullName, std::vector<ParamSpec> params)
      : _fullName(std::move(fullName)), _params(std::move(params)) {}
  ExpressionProgram(const ExpressionProgram&) = delete;
  ExpressionProgram& operator=(const ExpressionProgram&) = delete;

  bool Compile(const std::map<std::string, std::vector<std::string>>& outputs,
               const std::map<std::string, double>& constants, bool isStatic, const std::string& path,
               std::string* error);
  int Execute(VarList& vars);

 private:
  struct Output {
    std::string param;
    size_t component;  // 0 for a float, 0..2 for a vector
    std::unique_ptr<mu::Parser> parser;
  };
  struct Input {
    std::string param;
    ParamType type;
    double* slots[3];
  };
  struct SelfRead {
    std::string key;   // property name
    int component;     // -1 float property, 0..2 vector component
    double* slot;
  };

  static double* CreateSelfVariable(const mu::char_type* name, void* context);

  std::string _fullName;
  std::vector<ParamSpec> _params;
  std::deque<double> _storage;
  std::vector<Input> _inputs;
  std::vector<Output> _outputs;
  std::vector<SelfRead> _selfReads;
  std::string _refused;  // first variable name the factory refused
};

double* ExpressionProgram::CreateSelfVariable(const mu::char_type* name, void* context) {
  auto* self = static_cast<ExpressionProgram*>(context);
  std::string text(name);
  if (text.rfind("self.", 0) != 0 || text.size() <= 5) {
    if (self->_refused.empty()) self->_refused = text;
    throw mu::ParserError("unknown variable '" + text + "'");
  }
  std::string key = text.substr(5);
  int component = -1;
  if (key.size() > 2 && key[key.size() - 2] == '.') {
    const char c = key.back();
    if (c == 'x' || c == 'y' || c == 'z') {
      component = c - 'x';
      key.resize(key.size() - 2);
    }
  }
  self->_storage.push_back(0.0);
  double* slot = &self->_storage.back();
  self->_selfReads.push_back({key, component, slot});
  return slot;
}

bool ExpressionProgram::Compile(const std::map<std::string, std::vector<std::string>>& outputs,
                                const std::map<std::string, double>& constants, bool isStatic,
                                const std::string& path, std::string* error) {
  for (const ParamSpec& p : _params) {
    Input in{p.name, p.type, {nullptr, nullptr, nullptr}};
    const size_t n = p.type == ParamType::kVec3 ? 3 : 1;
    for (size_t i = 0; i < n; ++i) {
      _storage.push_back(0.0);
      in.slots[i] = &_storage.back();
    }
    _inputs.push_back(in);
  }
  for (const ParamSpec& p : _params) {
    auto it = outputs.find(p.name);
    if (it == outputs.end()) continue;
    for (size_t c = 0; c < it->second.size(); ++c) {
      auto parser = std::make_unique<mu::Parser>();
      // What is being defined, for an error: a parameter, a constant, then the expression.
      std::string at;
      std::string named;
      try {
        parser->DefineNameChars(kNameChars);
        for (size_t i = 0; i < _inputs.size(); ++i) {
          const Input& in = _inputs[i];
          at = path + "/params/" + std::to_string(i) + "/name";
          named = "parameter '" + Printable(in.param) + "'";
          if (in.type == ParamType::kVec3) {
            parser->DefineVar(in.param + ".x", in.slots[0]);
            parser->DefineVar(in.param + ".y", in.slots[1]);
            parser->DefineVar(in.param + ".z", in.slots[2]);
          } else {
            parser->DefineVar(in.param, in.slots[0]);
          }
        }
        for (const auto& [name, value] : constants) {
          at = JsonPointerChild(path + "/constants", name);
          named = "constant '" + Printable(name) + "'";
          parser->DefineConst(name, value);
        }
        at = JsonPointerChild(path + "/outputs", p.name) + (it->second.size() > 1 ? "/" + std::to_string(c) : "");
        named.clear();
        if (!isStatic) parser->SetVarFactory(&ExpressionProgram::CreateSelfVariable, this);
        parser->SetExpr(it->second[c]);
        parser->Eval();  // parses now, so that errors show at build time
      } catch (const mu::Parser::exception_type& e) {
        std::string what = Printable(e.GetMsg(), 200);
        if (!named.empty()) {
          what = named + " cannot be read by an expression: " +
                 (e.GetCode() == mu::ecNAME_CONFLICT ? std::string("another name means the same")
                                                     : "a name there is letters, digits, '_' and '.', "
                                                       "not starting with a digit");
        }
        *error = Printable(at, 120) + ": " + what;
        return false;
      }
      _outputs.push_back(Output{p.name, c, std::move(parser)});
    }
  }
  return true;
}

int ExpressionProgram::Execute(VarList& vars) {
  for (Input& in : _inputs) {
    VarBase* v = vars.Find(in.param.c_str());
    if (auto* f = dynamic_cast<VarFloat*>(v); f && in.type == ParamType::kFloat) {
      *in.slots[0] = f->_value;
    } else if (auto* vec = dynamic_cast<VarVec3*>(v); vec && in.type == ParamType::kVec3) {
      *in.slots[0] = vec->_value.x;
      *in.slots[1] = vec->_value.y;
      *in.slots[2] = vec->_value.z;
    } else {
      ReportProcedureProblem(_fullName + ": parameter '" + in.param + "' is missing or of another type");
      return 1;
    }
  }
  for (SelfRead& r : _selfReads) {
    const VanticObject* object = vars._thisObject;
    if (object == nullptr) {
      *r.slot = 0;
    } else if (r.component < 0) {
      *r.slot = object->GetFloat(r.key);
    } else {
      const Vec3 v = object->GetVector(r.key);
      *r.slot = r.component == 0 ? v.x : (r.component == 1 ? v.y : v.z);
    }
  }
  std::vector<double> results;
  results.reserve(_outputs.size());
  for (Output& out : _outputs) {
    double value = 0;
    try {
      value = out.parser->Eval();
    } catch (const mu::Parser::exception_type& e) {
      ReportProcedureProblem(_fullName + ": " + e.GetMsg());
      return 1;
    }
    if (!std::isfinite(value) || std::fabs(value) > 3.4028234663852886e38) {
      ReportProcedureProblem(_fullName + ": output '" + out.param + "' is not a finite float");
      return 1;
    }
    results.push_back(value);
  }
  for (size_t i = 0; i < _outputs.size(); ++i) {
    VarBase* v = vars.Find(_outputs[i].param.c_str());
    const float value = static_cast<float>(results[i]);
    if (auto* f = dynamic_cast<VarFloat*>(v)) {
      f->_value = value;
    } else if (auto* vec = dynamic_cast<VarVec3*>(v)) {
      float* parts[3] = {&vec->_value.x, &vec->_value.y, &vec->_value.z};
      *parts[_outputs[i].component] = value;
    }
  }
  return 0;
}

}  // namespace

bool CompileExpressionBody(const std::string& fullName, bool isStatic,
                           const std::vector<ParamSpec>& params,
                           const std::map<std::string, std::vector<std::string>>& outputs,
                           const std::map<std::string, double>& constants, const std::string& path,
                           VeskProcedure::Body* body, std::string* error) {
  auto program = std::make_shared<ExpressionProgram>(fullName, params);
  if (!program->Compile(outputs, constants, isStatic, path, error)) return false;
  *body = [program](VarList& vars) { return program->Execute(vars); };
  return true;
}

}  // namespace dravik
