// The GUI's string table: every message, label and menu help text by its id,
// read once from resources/vexgui.strings, which the build compiles in.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>

class CStringTable {
public:
    // Reads "ID<TAB>TEXT" lines ('#' starts a comment line; \n, \t and \\ are
    // escapes in TEXT). A malformed line is skipped, counted and traced.
    bool Parse(const std::string& csText);
    // The text of an id; empty for an id the table lacks.
    const std::string& Get(uint32_t uiId) const;
    bool Has(uint32_t uiId) const { return m_strings.count(uiId) != 0; }
    int BadLines() const { return m_iBadLines; }
    size_t Count() const { return m_strings.size(); }

    // The program's table, read on first use.
    static const CStringTable& Instance();

private:
    std::map<uint32_t, std::string> m_strings;
    int m_iBadLines = 0;
};

// The text of a string id of the program's table.
std::string LoadVexString(uint32_t uiId);
// Fills the "%s" places of a string, in order; a place without a text stays empty.
std::string FormatVexString(uint32_t uiId, std::initializer_list<std::string> texts);
