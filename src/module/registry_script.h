// Registry scripts: the text that tells the registrar which keys and values a class registers.
//
//   HKCR
//   {
//       My.Class.1 = s 'My Class'
//       {
//           CLSID = s '{...}'
//       }
//       NoRemove CLSID
//       {
//           ForceRemove {...} = s 'My Class'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//
// Tokens are separated by white space (so a bare "{...}" is a name and a lone brace a block). A
// key is a name, bare or in single quotes, optionally marked NoRemove (never deleted) or
// ForceRemove (deleted with everything below it before it is written, and at unregistration),
// optionally with "= s 'text'" as its default value and a body in braces of subkeys and
// "val name = s 'text'" named values. In quotes, '' stands for one quote. Keywords and the root
// names HKCR and HKEY_CLASSES_ROOT (the only root) compare without regard to case. Only string
// values exist. %NAME% is replaced by the value given for NAME before parsing (%% is one %);
// the replacement's quotes are doubled, since replacements stand inside quoted strings.
#pragma once

#include <map>
#include <optional>
#include <vector>

#include "platform/com.h"

namespace module {

struct ScriptValue {
    platform::WideString name;  // empty: the key's default value
    platform::WideString data;
};

struct ScriptKey {
    enum class Removal { Normal, NoRemove, ForceRemove };

    Removal removal = Removal::Normal;
    platform::WideString name;
    std::vector<ScriptValue> values;  // the default value first, if there is one
    std::vector<ScriptKey> subkeys;
};

// The keys below HKEY_CLASSES_ROOT that a script names, in script order. DISP_E_EXCEPTION for a
// script that does not parse (or nests deeper than kMaxScriptDepth keys).
inline constexpr int kMaxScriptDepth = 32;
HRESULT ParseRegistryScript(platform::WideStringView script, std::vector<ScriptKey>& keys);

// Replacement names compare without regard to case.
struct ReplacementNameLess {
    bool operator()(const platform::WideString& a, const platform::WideString& b) const noexcept;
};
using Replacements = std::map<platform::WideString, platform::WideString, ReplacementNameLess>;

// The script with every %NAME% replaced; DISP_E_EXCEPTION for an unknown name or a lone %.
HRESULT SubstituteReplacements(platform::WideStringView script, const Replacements& replacements,
                               platform::WideString& result);

}  // namespace module
