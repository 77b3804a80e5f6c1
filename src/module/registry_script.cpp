#include "module/registry_script.h"

namespace module {

namespace {

using platform::WideString;
using platform::WideStringView;

WCHAR FoldCase(WCHAR c) noexcept {
    return (c >= WIDE('a') && c <= WIDE('z')) ? static_cast<WCHAR>(c - WIDE('a') + WIDE('A')) : c;
}

bool EqualsNoCase(WideStringView a, WideStringView b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

bool IsSpace(WCHAR c) noexcept {
    return c == WIDE(' ') || c == WIDE('\t') || c == WIDE('\r') || c == WIDE('\n') ||
           c == WIDE('\v') || c == WIDE('\f');
}

struct Token {
    enum class Kind { End, OpenBrace, CloseBrace, Equals, Word, Quoted, Bad };
    Kind kind = Kind::End;
    WideString text;
};

class Tokenizer {
public:
    explicit Tokenizer(WideStringView text) noexcept : text_(text) {}

    // Tokens are separated by white space, so braces and '=' stand alone while "{GUID}" is
    // one name; a quoted string may hold anything.
    Token Next() {
        while (position_ < text_.size() && IsSpace(text_[position_])) ++position_;
        if (position_ >= text_.size()) return {Token::Kind::End, {}};
        if (text_[position_] == WIDE('\'')) return Quoted();
        const std::size_t start = position_;
        while (position_ < text_.size() && !IsSpace(text_[position_])) ++position_;
        WideString word(text_.substr(start, position_ - start));
        if (word == WIDE("{")) return {Token::Kind::OpenBrace, {}};
        if (word == WIDE("}")) return {Token::Kind::CloseBrace, {}};
        if (word == WIDE("=")) return {Token::Kind::Equals, {}};
        return {Token::Kind::Word, std::move(word)};
    }

private:
    Token Quoted() {
        ++position_;  // the opening quote
        WideString text;
        while (position_ < text_.size()) {
            const WCHAR c = text_[position_++];
            if (c != WIDE('\'')) {
                text += c;
            } else if (position_ < text_.size() && text_[position_] == WIDE('\'')) {
                text += WIDE('\'');
                ++position_;
            } else {
                return {Token::Kind::Quoted, std::move(text)};
            }
        }
        return {Token::Kind::Bad, {}};  // unterminated
    }

    WideStringView text_;
    std::size_t position_ = 0;
};

class Parser {
public:
    explicit Parser(WideStringView script) : tokens_(script) { Advance(); }

    bool ParseScript(std::vector<ScriptKey>& keys) {
        while (current_.kind != Token::Kind::End) {
            if (!IsRoot()) return false;
            Advance();
            if (!Expect(Token::Kind::OpenBrace)) return false;
            ScriptKey root;
            if (!ParseBody(root, 1, false)) return false;
            if (!Expect(Token::Kind::CloseBrace)) return false;
            for (ScriptKey& key : root.subkeys) keys.push_back(std::move(key));
        }
        return true;
    }

private:
    void Advance() { current_ = tokens_.Next(); }

    bool Expect(Token::Kind kind) {
        if (current_.kind != kind) return false;
        Advance();
        return true;
    }

    bool IsWord(WideStringView word) const {
        return current_.kind == Token::Kind::Word && EqualsNoCase(current_.text, word);
    }

    bool IsRoot() const { return IsWord(WIDE("HKCR")) || IsWord(WIDE("HKEY_CLASSES_ROOT")); }

    // A name, bare or quoted; registry key names cannot hold '\'.
    bool ParseName(WideString& name, bool keyName) {
        if (current_.kind != Token::Kind::Word && current_.kind != Token::Kind::Quoted) {
            return false;
        }
        name = std::move(current_.text);
        Advance();
        return !keyName || (!name.empty() && name.find(WIDE('\\')) == WideString::npos);
    }

    // "s 'text'"
    bool ParseValue(WideString& data) {
        if (!IsWord(WIDE("s"))) return false;
        Advance();
        if (current_.kind != Token::Kind::Quoted) return false;
        data = std::move(current_.text);
        Advance();
        return true;
    }

    // Subkeys (and, below a key, named values) up to the closing brace, which is left.
    bool ParseBody(ScriptKey& parent, int depth, bool valuesAllowed) {
        while (current_.kind != Token::Kind::CloseBrace) {
            if (IsWord(WIDE("val"))) {
                if (!valuesAllowed) return false;
                Advance();
                ScriptValue value;
                if (!ParseName(value.name, false) || !Expect(Token::Kind::Equals) ||
                    !ParseValue(value.data)) {
                    return false;
                }
                parent.values.push_back(std::move(value));
                continue;
            }
            ScriptKey key;
            if (!ParseKey(key, depth)) return false;
            parent.subkeys.push_back(std::move(key));
        }
        return true;
    }

    bool ParseKey(ScriptKey& key, int depth) {
        if (depth > kMaxScriptDepth) return false;
        if (IsWord(WIDE("NoRemove"))) {
            key.removal = ScriptKey::Removal::NoRemove;
            Advance();
        } else if (IsWord(WIDE("ForceRemove"))) {
            key.removal = ScriptKey::Removal::ForceRemove;
            Advance();
        }
        if (!ParseName(key.name, true)) return false;
        if (current_.kind == Token::Kind::Equals) {
            Advance();
            ScriptValue value;
            if (!ParseValue(value.data)) return false;
            key.values.push_back(std::move(value));
        }
        if (current_.kind == Token::Kind::OpenBrace) {
            Advance();
            if (!ParseBody(key, depth + 1, true)) return false;
            Advance();  // the closing brace
        }
        return true;
    }

    Tokenizer tokens_;
    Token current_;
};

}  // namespace

bool ReplacementNameLess::operator()(const WideString& a, const WideString& b) const noexcept {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const WCHAR x = FoldCase(a[i]);
        const WCHAR y = FoldCase(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

HRESULT ParseRegistryScript(WideStringView script, std::vector<ScriptKey>& keys) {
    keys.clear();
    Parser parser(script);
    if (!parser.ParseScript(keys)) {
        keys.clear();
        return DISP_E_EXCEPTION;
    }
    return S_OK;
}

HRESULT SubstituteReplacements(WideStringView script, const Replacements& replacements,
                               WideString& result) {
    result.clear();
    result.reserve(script.size());
    std::size_t position = 0;
    while (position < script.size()) {
        const std::size_t percent = script.find(WIDE('%'), position);
        result.append(script.substr(position, percent - position));
        if (percent == WideStringView::npos) break;
        const std::size_t close = script.find(WIDE('%'), percent + 1);
        if (close == WideStringView::npos) return DISP_E_EXCEPTION;
        if (close == percent + 1) {
            result += WIDE('%');
        } else {
            const auto found =
                replacements.find(WideString(script.substr(percent + 1, close - percent - 1)));
            if (found == replacements.end()) return DISP_E_EXCEPTION;
            for (WCHAR c : found->second) {
                result += c;
                if (c == WIDE('\'')) result += WIDE('\'');
            }
        }
        position = close + 1;
    }
    return S_OK;
}

}  // namespace module
