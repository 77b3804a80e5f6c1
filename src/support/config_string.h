// A parsed configuration text: sections of KEY=VALUE entries (syntax in config_syntax.h).
// Entries are kept as wide text, so rendering gives back every value exactly; GetEntry hands a
// value out as narrow text in the ANSI code page.
//
//   ConfigString config(text);                      // a null text is an empty configuration
//   std::string tmo;
//   config.GetEntry(tmo, "NET", "TMO");             // tmo stays as it was when absent
//   config.Merge(other);                            // other's entries added or replacing
//   platform::WideString rendered = config.GetConfigurationW();
//
// GetFastConfigEntry reads one entry straight out of narrow text, without building a
// ConfigString and without allocating.
#pragma once

#include <string>
#include <vector>

#include "platform/com.h"

class ConfigString {
  public:
    // pbParsed, when given, tells whether every line was understood; lines that were not are
    // skipped, never fatal.
    explicit ConfigString(const WCHAR* text, bool* pbParsed = nullptr);
    ConfigString(const ConfigString&) = default;
    ConfigString(ConfigString&&) noexcept = default;
    ConfigString& operator=(const ConfigString&) = default;
    ConfigString& operator=(ConfigString&&) noexcept = default;
    virtual ~ConfigString();

    // Writes the value of section/key into value and returns true; returns false and leaves
    // value unchanged when there is no such entry or a name is null.
    bool GetEntry(std::string& value, const char* section, const char* key) const;

    // Adds the other configuration's entries, replacing those with an equal section and key.
    // Either all of them are taken or, when memory runs out, none.
    bool Merge(const ConfigString& other);

    // The whole configuration as text that the constructor reads back to the same entries.
    platform::WideString GetConfigurationW() const;

    // Writes the value of section/key, NUL-terminated, into buffer and returns true. Returns
    // false with an empty buffer when there is no such entry, when an argument is null or when
    // the value does not fit (bufferSize includes the NUL): a cut value would be a wrong one.
    static bool GetFastConfigEntry(const char* text, const char* section, const char* key,
                                   char* buffer, int bufferSize);

  private:
    struct Entry {
        platform::WideString key;
        platform::WideString value;
    };
    struct Section {
        platform::WideString name;
        std::vector<Entry> entries;
    };
    using Sections = std::vector<Section>;

    // Index of the section of that name, appended when there is none.
    static std::size_t FindOrAddSection(Sections& sections, platform::WideStringView name);
    static void SetEntry(Section& section, platform::WideStringView key,
                         platform::WideString value);

    Sections sections_;
};
