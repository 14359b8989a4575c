// The forgiving XML reader for device descriptions and SOAP answers.
//
// The text comes from any printer on the network. Every scan stops at the
// terminating NUL, nesting is bounded by XML_MAX_DEPTH, and siblings and
// attributes are walked in loops so that a long list cannot exhaust the
// stack either. Problems go to the trace only.
#include "service/Xml.h"

#include "common/Trace.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>

namespace {

// The steps of the element parse, and the text copy, write under the
// routines they were split from.
constexpr CTraceName kTraceAsMySzDupN("CXml::MySzDupN");
constexpr CTraceName kTraceAsParseElem("CXml::ParseElem");

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_' || c == ':';
}

const char* SkipWhite(const char* p) {
    while (IsWhite(*p))
        ++p;
    return p;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The number of a character reference ("#65" or "#x41", without "&" and ";"),
// saturated like a 32-bit strtol; 0 when there are no digits.
int32_t CharRefNumber(const char* pRef, size_t nRef) {
    int64_t llValue = 0;
    const bool bHex = nRef >= 2 && pRef[1] == 'x';
    const int iBase = bHex ? 16 : 10;
    for (size_t i = bHex ? 2 : 1; i < nRef; ++i) {
        const int iDigit =
            bHex ? HexDigit(pRef[i]) : (pRef[i] >= '0' && pRef[i] <= '9' ? pRef[i] - '0' : -1);
        if (iDigit < 0)
            break;
        llValue = llValue * iBase + iDigit;
        if (llValue > INT32_MAX)
            llValue = INT32_MAX;
    }
    return static_cast<int32_t>(llValue);
}

// Entity names, compared over the length of the name as written.
struct SEntity {
    const char* pszName;
    char cValue;
};
const SEntity s_aEntities[] = {
    {"gt", '>'}, {"lt", '<'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};

int32_t EntityValue(const char* pRef, size_t nRef) {
    // An empty name ("&;") would match the first entry over length 0; it is
    // not a reference.
    if (nRef == 0)
        return 0;
    for (const SEntity& entity : s_aEntities) {
        if (nRef <= std::strlen(entity.pszName) && strncasecmp(pRef, entity.pszName, nRef) == 0)
            return static_cast<unsigned char>(entity.cValue);
    }
    return 0;
}

// Appends nLength bytes of pszText to csOut, resolving references when asked.
// A reference runs from its "&" to the next ";" of the piece, however far. That
// ";" is remembered and searched for again only once the reading has passed it,
// so a piece full of "&" is read in linear time.
void AppendText(std::string& csOut, const char* pszText, size_t nLength, bool bResolve) {
    if (!bResolve) {
        csOut.append(pszText, nLength);
        return;
    }
    const char* const pEnd = pszText + nLength;
    const char* pSemi = nullptr; // the next ";" from the last search on, or pEnd when none is left
    size_t i = 0;
    while (i < nLength) {
        const void* pAmp = std::memchr(pszText + i, '&', nLength - i);
        if (pAmp == nullptr) {
            csOut.append(pszText + i, nLength - i);
            break;
        }
        const size_t nAmp = static_cast<size_t>(static_cast<const char*>(pAmp) - pszText);
        csOut.append(pszText + i, nAmp - i);
        i = nAmp;
        const size_t nLeft = nLength - i;
        if (nLeft < 3) {
            csOut += '&';
            ++i;
            continue;
        }
        const char* pRef = pszText + i + 1;
        if (pSemi == nullptr || pSemi < pRef) {
            pSemi = static_cast<const char*>(std::memchr(pRef, ';', nLeft - 1));
            if (pSemi == nullptr)
                pSemi = pEnd;
        }
        int32_t iValue = 0;
        if (pSemi != pEnd) {
            const size_t nRef = static_cast<size_t>(pSemi - pRef);
            iValue =
                (nRef > 0 && pRef[0] == '#') ? CharRefNumber(pRef, nRef) : EntityValue(pRef, nRef);
        }
        // A value whose low byte is 0 would cut the text short: kept as written.
        if ((iValue & 0xFF) == 0) {
            kTraceAsMySzDupN.Err("Illegal escape sequence(%.*s)",
                                 static_cast<int>(nLeft < 4 ? nLeft : 4), pszText + i);
            csOut += '&';
            ++i;
            continue;
        }
        csOut += static_cast<char>(iValue & 0xFF);
        i = static_cast<size_t>(pSemi - pszText) + 1;
    }
}

// A NUL-terminated, malloc-owned copy of csText.
// A name split at its first colon: the prefix (none without a colon) and the
// local name.
struct SSplitName {
    const char* pPrefix = nullptr; // null: no prefix
    size_t nPrefix = 0;
    const char* pLocal = nullptr;
    size_t nLocal = 0;
};

SSplitName SplitName(const char* p, size_t n) {
    SSplitName split;
    const char* pColon = static_cast<const char*>(std::memchr(p, ':', n));
    split.pLocal = pColon != nullptr ? pColon + 1 : p;
    split.nLocal = n - static_cast<size_t>(split.pLocal - p);
    if (pColon != nullptr) {
        split.pPrefix = p;
        split.nPrefix = static_cast<size_t>(pColon - p);
    }
    return split;
}

// An end tag closes a start tag with an equal local name, and an equal
// prefix too when the end tag has one.
bool Closes(const SSplitName& end, const SSplitName& start) {
    if (end.nLocal != start.nLocal || strncasecmp(end.pLocal, start.pLocal, start.nLocal) != 0)
        return false;
    return end.pPrefix == nullptr || (start.pPrefix != nullptr && end.nPrefix == start.nPrefix &&
                                      strncasecmp(end.pPrefix, start.pPrefix, start.nPrefix) == 0);
}

char* DupString(const std::string& csText) {
    char* psz = static_cast<char*>(std::calloc(csText.size() + 1, 1));
    if (psz != nullptr)
        std::memcpy(psz, csText.data(), csText.size());
    return psz;
}

} // namespace

CXml::~CXml() {
    FreeElem(m_pRoot);
}

void CXml::FreeAttrib(SXmlAttrib* pAttrib) {
    while (pAttrib != nullptr) {
        SXmlAttrib* pNext = pAttrib->m_pNextAttrib;
        std::free(pAttrib->m_pszName);
        std::free(pAttrib->m_pszValue);
        std::free(pAttrib->m_pszPrefix);
        delete pAttrib;
        pAttrib = pNext;
    }
}

void CXml::FreeElem(SXmlElem* pElem) {
    // Without recursion: a node with children hands its first child to the
    // front of the list to free, so every node is moved at most once.
    while (pElem != nullptr) {
        if (SXmlElem* pChild = pElem->m_pFirstChild; pChild != nullptr) {
            pElem->m_pFirstChild = pChild->m_pNextSibling;
            pChild->m_pNextSibling = pElem;
            pElem = pChild;
            continue;
        }
        SXmlElem* pNext = pElem->m_pNextSibling;
        std::free(pElem->m_pszName);
        std::free(pElem->m_pszPrefix);
        std::free(pElem->m_pszValue);
        FreeAttrib(pElem->m_pFirstAttrib);
        delete pElem;
        pElem = pNext;
    }
}

char* CXml::MySzDupN(const char* pszText, size_t nLength, bool bResolve, char* pszAppendTo) {
    std::string csPiece;
    AppendText(csPiece, pszText, nLength, bResolve);
    const size_t nOld = pszAppendTo != nullptr ? std::strlen(pszAppendTo) : 0;
    char* psz = pszAppendTo != nullptr
                    ? static_cast<char*>(std::realloc(pszAppendTo, nOld + csPiece.size() + 1))
                    : static_cast<char*>(std::calloc(csPiece.size() + 1, 1));
    if (psz == nullptr)
        return nullptr;
    std::memcpy(psz + nOld, csPiece.data(), csPiece.size());
    psz[nOld + csPiece.size()] = '\0';
    return psz;
}

bool CXml::GetToken(const char** ppszPos, SToken* pToken) {
    const CTraceName trace("CXml::GetToken");
    const char* p = SkipWhite(*ppszPos);
    if (*p == '"' || *p == '\'') {
        const char* pClose = std::strchr(p + 1, *p);
        if (pClose == nullptr || pClose == p + 1) {
            // An empty quoted string is read over, so that what follows it
            // can still be parsed; an unclosed one is not.
            if (pClose != nullptr)
                *ppszPos = SkipWhite(pClose + 1);
            trace.Err("Failed at %d (%c)", Offset(p), *p);
            return false;
        }
        pToken->p = p + 1;
        pToken->n = static_cast<size_t>(pClose - (p + 1));
        *ppszPos = SkipWhite(pClose + 1);
        return true;
    }
    if (IsNameChar(*p)) {
        const char* pEnd = p;
        while (IsNameChar(*pEnd))
            ++pEnd;
        if (*pEnd == '\0') {
            trace.Err("Failed at %d (%c)", Offset(pEnd), *pEnd);
            return false;
        }
        pToken->p = p;
        pToken->n = static_cast<size_t>(pEnd - p);
        *ppszPos = SkipWhite(pEnd);
        return true;
    }
    if (*p != '>' && *p != '/')
        trace.Err("Failed at %d (%c)", Offset(p), *p);
    return false;
}

// Returns the length of the value piece at *ppszPos (text up to the next
// "<", or the inside of "<![ CDATA[ ... ]]>"), -1 on failure, -2 when a
// "<" of anything else ends the pieces.
ptrdiff_t CXml::GetElemValue(const char** ppszPos, const char** ppszPiece) {
    const CTraceName trace("CXml::GetElemValue");
    static const char szCData[] = "<![ CDATA[ ";
    const char* p = *ppszPos;
    if (*p != '<') {
        const char* pLt = std::strchr(p, '<');
        if (pLt == nullptr) {
            trace.Err("failed at %d (%c)", Offset(p), *p);
            return -1;
        }
        *ppszPiece = p;
        *ppszPos = pLt;
        return pLt - p;
    }
    if (std::strncmp(p, szCData, sizeof szCData - 1) == 0) {
        const char* pStart = p + sizeof szCData - 1;
        const char* pEnd = std::strstr(pStart, "]]>");
        if (pEnd == nullptr) {
            trace.Err("CDATA failed at %d (%c)", Offset(p), *p);
            return -1;
        }
        *ppszPiece = pStart;
        *ppszPos = pEnd + 3;
        return pEnd - pStart;
    }
    return -2;
}

SXmlAttrib* CXml::ParseAttrib(const char** ppszPos) {
    const CTraceName trace("CXml::ParseAttrib");
    SXmlAttrib* pFirst = nullptr;
    SXmlAttrib** ppLink = &pFirst;
    for (;;) {
        SToken name;
        if (!GetToken(ppszPos, &name))
            break;
        SToken value;
        bool bOk = false;
        if (**ppszPos == '=') {
            ++*ppszPos;
            bOk = GetToken(ppszPos, &value);
        }
        if (!bOk) {
            trace.Err("Failed: Name=%.*s Value=(%.*s) at %d (%c)", static_cast<int>(name.n), name.p,
                      static_cast<int>(value.n), value.p != nullptr ? value.p : "",
                      Offset(*ppszPos), **ppszPos);
            break;
        }
        SXmlAttrib* pAttrib = new (std::nothrow) SXmlAttrib;
        if (pAttrib == nullptr)
            break;
        const SSplitName split = SplitName(name.p, name.n);
        pAttrib->m_pszName = MySzDupN(split.pLocal, split.nLocal, false, nullptr);
        if (split.pPrefix != nullptr)
            pAttrib->m_pszPrefix = MySzDupN(split.pPrefix, split.nPrefix, false, nullptr);
        pAttrib->m_pszValue = MySzDupN(value.p, value.n, true, nullptr);
        if (pAttrib->m_pszName == nullptr || pAttrib->m_pszValue == nullptr ||
            (split.pPrefix != nullptr && pAttrib->m_pszPrefix == nullptr)) {
            FreeAttrib(pAttrib);
            break;
        }
        *ppLink = pAttrib;
        ppLink = &pAttrib->m_pNextAttrib;
    }
    return pFirst;
}

// Reads over a comment or declaration at the "<" at *ppszPos. Returns false
// (with the trace) when it is not closed or "<!" is not a comment.
bool CXml::SkipMarkup(const char** ppszPos) {
    const char* pLt = *ppszPos;
    const char* p = SkipWhite(pLt + 1);
    const char* pEnd = nullptr;
    if (*p == '!') {
        if (p[1] == '-' && p[2] == '-') {
            pEnd = std::strstr(p + 3, "-->");
            if (pEnd != nullptr)
                pEnd += 3;
        }
    } else {
        pEnd = std::strstr(p + 1, "?>");
        if (pEnd != nullptr)
            pEnd += 2;
    }
    if (pEnd == nullptr) {
        kTraceAsParseElem.Err("Parsing error = (%.6s)", pLt);
        return false;
    }
    *ppszPos = pEnd;
    return true;
}

// Top-level elements: the first one and its following siblings. Text,
// comments and declarations between them are read over.
SXmlElem* CXml::ParseElem(const char** ppszPos, int iDepth) {
    SXmlElem* pFirst = nullptr;
    SXmlElem** ppLink = &pFirst;
    for (;;) {
        const char* pRemembered = *ppszPos;
        const char* p = *ppszPos;
        for (;;) {
            p = std::strchr(p, '<');
            if (p == nullptr) {
                *ppszPos += std::strlen(*ppszPos);
                return pFirst;
            }
            const char* q = SkipWhite(p + 1);
            if (*q == '/') {
                *ppszPos = pRemembered;
                return pFirst;
            }
            if (*q != '!' && *q != '?')
                break;
            if (!SkipMarkup(&p)) {
                *ppszPos = p;
                return pFirst;
            }
        }
        *ppszPos = p;
        SXmlElem* pElem = ParseOneElem(ppszPos, iDepth);
        if (pElem == nullptr)
            return pFirst;
        *ppLink = pElem;
        ppLink = &pElem->m_pNextSibling;
    }
}

// One element from the "<" of its start tag at *ppszPos to behind its end
// tag, with its attributes, value and children; null on failure.
SXmlElem* CXml::ParseOneElem(const char** ppszPos, int iDepth) {
    const char* p = SkipWhite(*ppszPos + 1);
    SToken tag;
    std::string csValue;
    SXmlElem* pElem = nullptr;
    SXmlElem** ppLastChild = nullptr;
    bool bOk = false;

    do {
        if (!GetToken(&p, &tag))
            break;
        pElem = new (std::nothrow) SXmlElem;
        if (pElem == nullptr)
            break;
        const SSplitName name = SplitName(tag.p, tag.n);
        pElem->m_pszName = MySzDupN(name.pLocal, name.nLocal, false, nullptr);
        if (pElem->m_pszName == nullptr)
            break;
        if (name.pPrefix != nullptr) {
            pElem->m_pszPrefix = MySzDupN(name.pPrefix, name.nPrefix, false, nullptr);
            if (pElem->m_pszPrefix == nullptr)
                break;
        }
        pElem->m_pFirstAttrib = ParseAttrib(&p);

        const bool bEmpty = *p == '/';
        if (bEmpty)
            ++p;
        if (*p != '>')
            break;
        ++p;
        if (bEmpty) {
            bOk = true;
            break;
        }

        // Value pieces, comments and child elements up to the end tag; text
        // between children belongs to the value as well.
        ppLastChild = &pElem->m_pFirstChild;
        bool bFailed = false;
        for (;;) {
            const char* pszPiece = nullptr;
            const ptrdiff_t iPiece = GetElemValue(&p, &pszPiece);
            if (iPiece == -1) {
                bFailed = true;
                break;
            }
            if (iPiece >= 0) {
                if (iPiece == 0)
                    kTraceAsParseElem.Err("Get Elem empty value segment");
                else
                    AppendText(csValue, pszPiece, static_cast<size_t>(iPiece), true);
                continue;
            }
            const char* q = SkipWhite(p + 1);
            if (*q == '/')
                break;
            if (*q == '!' || *q == '?') {
                if (!SkipMarkup(&p)) {
                    bFailed = true;
                    break;
                }
                continue;
            }
            if (iDepth >= XML_MAX_DEPTH) {
                kTraceAsParseElem.Err("Elements nested deeper than %d levels at %d", XML_MAX_DEPTH,
                                      Offset(p));
                bFailed = true;
                break;
            }
            SXmlElem* pChild = ParseOneElem(&p, iDepth + 1);
            if (pChild == nullptr) {
                bFailed = true;
                break;
            }
            *ppLastChild = pChild;
            ppLastChild = &pChild->m_pNextSibling;
        }
        if (bFailed)
            break;

        p = SkipWhite(p + 1) + 1;
        SToken endTag;
        if (!GetToken(&p, &endTag))
            break;
        if (!Closes(SplitName(endTag.p, endTag.n), name)) {
            kTraceAsParseElem.Err("element %.*s not closed at %.*s %d ", static_cast<int>(tag.n),
                                  tag.p, static_cast<int>(endTag.n), endTag.p, Offset(endTag.p));
            break;
        }
        if (*p != '>')
            break;
        ++p;
        if (!csValue.empty()) {
            pElem->m_pszValue = DupString(csValue);
            if (pElem->m_pszValue == nullptr)
                break;
        }
        bOk = true;
    } while (false);

    *ppszPos = p;
    if (bOk)
        return pElem;
    kTraceAsParseElem.Err("Failed: Name=%.*s Value=(%s) at %d (%c)", static_cast<int>(tag.n),
                          tag.p != nullptr ? tag.p : "", csValue.c_str(), Offset(p), *p);
    FreeElem(pElem);
    return nullptr;
}

SXmlElem* CXml::Parse(const char** ppszPos) {
    FreeElem(m_pRoot);
    m_pRoot = nullptr;
    if (ppszPos == nullptr || *ppszPos == nullptr)
        return nullptr;
    m_pszStart = *ppszPos;
    m_pRoot = ParseElem(ppszPos, 1);
    return m_pRoot;
}

SXmlElem* CXml::FindElement(SXmlElem* pElem, const char* pszName) {
    for (; pElem != nullptr; pElem = pElem->m_pNextSibling) {
        if (strcasecmp(pElem->m_pszName, pszName) == 0)
            return pElem;
        if (SXmlElem* pFound = FindElement(pElem->m_pFirstChild, pszName); pFound != nullptr)
            return pFound;
    }
    return nullptr;
}

SXmlElem* CXml::FindElementWithValue(SXmlElem* pElem, const char* pszName, const char* pszValue) {
    for (; pElem != nullptr; pElem = pElem->m_pNextSibling) {
        if (strcasecmp(pElem->m_pszName, pszName) == 0 &&
            strcasecmp(pElem->m_pszValue != nullptr ? pElem->m_pszValue : "", pszValue) == 0)
            return pElem;
        if (SXmlElem* pFound = FindElementWithValue(pElem->m_pFirstChild, pszName, pszValue);
            pFound != nullptr)
            return pFound;
    }
    return nullptr;
}

namespace {

const char* OrNull(const char* psz) {
    return psz != nullptr ? psz : "(null)";
}

void DumpAttribs(const SXmlAttrib* pAttrib, const std::string& csIndent,
                 const std::string& csLabel) {
    for (int n = 1; pAttrib != nullptr; pAttrib = pAttrib->m_pNextAttrib, ++n) {
        const char* pszIndent = csIndent.c_str();
        const char* pszLabel = csLabel.c_str();
        TraceDet("%s%s%d->m_pszName = %s", pszIndent, pszLabel, n, OrNull(pAttrib->m_pszName));
        TraceDet("%s%s%d->m_pszPrefix = %s", pszIndent, pszLabel, n, OrNull(pAttrib->m_pszPrefix));
        TraceDet("%s%s%d->m_pszValue = %s", pszIndent, pszLabel, n, OrNull(pAttrib->m_pszValue));
        TraceDet("%s%s%d->m_pNextAttrib = %p", pszIndent, pszLabel, n,
                 static_cast<const void*>(pAttrib->m_pNextAttrib));
    }
}

void DumpElems(const SXmlElem* pElem, const std::string& csIndent, const std::string& csLabel) {
    const std::string csInner = csIndent + "   ";
    for (int n = 1; pElem != nullptr; pElem = pElem->m_pNextSibling, ++n) {
        const char* pszIndent = csIndent.c_str();
        const char* pszLabel = csLabel.c_str();
        TraceDet("%s%s%d->m_pszName = %s", pszIndent, pszLabel, n, OrNull(pElem->m_pszName));
        TraceDet("%s%s%d->m_pszPrefix = %s", pszIndent, pszLabel, n, OrNull(pElem->m_pszPrefix));
        TraceDet("%s%s%d->m_pszValue = %s", pszIndent, pszLabel, n, OrNull(pElem->m_pszValue));
        TraceDet("%s%s%d->m_pFirstAttrib = %p", pszIndent, pszLabel, n,
                 static_cast<const void*>(pElem->m_pFirstAttrib));
        DumpAttribs(pElem->m_pFirstAttrib, csInner, csLabel + std::to_string(n) + ".a");
        TraceDet("%s%s%d->m_pFirstChild = %p", pszIndent, pszLabel, n,
                 static_cast<const void*>(pElem->m_pFirstChild));
        DumpElems(pElem->m_pFirstChild, csInner, csLabel + std::to_string(n) + ".e");
        TraceDet("%s%s%d->m_pNextSibling = %p", pszIndent, pszLabel, n,
                 static_cast<const void*>(pElem->m_pNextSibling));
    }
}

} // namespace

void CXml::Dump() {
    if (TraceOn(TRACE_DET))
        DumpElems(m_pRoot, "", "e");
}
