// A small, forgiving XML reader for the printers' HTTP answers (what the
// answers mean is read in service/UpnpAnswers.h).
//
// It builds a tree of elements with attributes from a NUL-terminated text
// and reports problems only to the trace. It accepts a prolog, comments,
// processing instructions, namespace prefixes, character and entity
// references and a CDATA form of its own ("<![ CDATA[ ... ]]>"). Elements
// nested deeper than XML_MAX_DEPTH fail the parse, so a hostile document
// cannot exhaust the stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr int XML_MAX_DEPTH = 256;

struct SXmlAttrib {
    char* m_pszName = nullptr;   // local name
    char* m_pszValue = nullptr;  // references resolved
    char* m_pszPrefix = nullptr; // before the colon, or null
    SXmlAttrib* m_pNextAttrib = nullptr;
};

struct SXmlElem {
    char* m_pszName = nullptr;   // local name
    char* m_pszPrefix = nullptr; // before the colon, or null
    char* m_pszValue = nullptr;  // all text and CDATA pieces directly inside, or null
    SXmlAttrib* m_pFirstAttrib = nullptr;
    SXmlElem* m_pFirstChild = nullptr;
    SXmlElem* m_pNextSibling = nullptr;
};

class CXml {
public:
    CXml() = default;
    ~CXml();
    CXml(const CXml&) = delete;
    CXml& operator=(const CXml&) = delete;

    // Parses from *ppszPos (NUL-terminated), stores and returns the root, null
    // on failure. *ppszPos advances over what was read. An earlier tree is freed.
    SXmlElem* Parse(const char** ppszPos);
    SXmlElem* GetRoot() const { return m_pRoot; }

    // Depth-first in document order from pElem over its children and its
    // following siblings; names and values compare case-insensitively.
    static SXmlElem* FindElement(SXmlElem* pElem, const char* pszName);
    static SXmlElem* FindElementWithValue(SXmlElem* pElem, const char* pszName,
                                          const char* pszValue);

    // Writes the tree to the trace at DET level.
    void Dump();

    // Copies nLength bytes of pszText into a new text, or appends them to
    // pszAppendTo (which it reallocates). With bResolve set, character and
    // entity references are replaced. Returns null when memory runs out;
    // pszAppendTo then stays valid. Release the result with free().
    static char* MySzDupN(const char* pszText, size_t nLength, bool bResolve, char* pszAppendTo);

    // Frees an element, its texts, attributes, children and following siblings.
    static void FreeElem(SXmlElem* pElem);
    static void FreeAttrib(SXmlAttrib* pAttrib);

private:
    struct SToken {
        const char* p = nullptr;
        size_t n = 0;
    };

    bool GetToken(const char** ppszPos, SToken* pToken);
    ptrdiff_t GetElemValue(const char** ppszPos, const char** ppszPiece);
    SXmlAttrib* ParseAttrib(const char** ppszPos);
    SXmlElem* ParseElem(const char** ppszPos, int iDepth);
    SXmlElem* ParseOneElem(const char** ppszPos, int iDepth);
    bool SkipMarkup(const char** ppszPos);
    int Offset(const char* p) const { return static_cast<int>(p - m_pszStart); }

    SXmlElem* m_pRoot = nullptr;
    const char* m_pszStart = nullptr; // start of the text being parsed, for offsets
};
