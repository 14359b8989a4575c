// A 4 KB device description: CXml's parse and control-path query against the
// tree parses of libxml2 and pugixml with the same search, on the same bytes.
// And CXml on long runs of "&" at three sizes, which must cost the same per MiB.
#include "service/Ssdp.h"
#include "service/UpnpAnswers.h"
#include "service/Xml.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifdef VEX_HAVE_LIBXML2
#include <libxml/parser.h>
#include <libxml/tree.h>
#endif
#ifdef VEX_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

const std::string& Description() {
    static const std::string csText = [] {
        std::ifstream in(VEX_DESCRIPTION_FILE, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }();
    return csText;
}

const char kControlPath[] = "/upnp/print/control";

void BM_CXml_Description(benchmark::State& state) {
    const std::string& csText = Description();
    for (auto _ : state) {
        CXml xml;
        const char* p = csText.c_str();
        xml.Parse(&p);
        int32_t iPort = 0;
        std::string csPath = StateVariableUrl(xml.GetRoot(), &iPort);
        if (csPath != kControlPath || iPort != 8080)
            state.SkipWithError("wrong control path");
        benchmark::DoNotOptimize(csPath);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(csText.size()));
    state.counters["bytes"] = double(csText.size());
}
BENCHMARK(BM_CXml_Description);

// A run of "&" that is no reference, in an element's text, an attribute value
// or a CDATA piece: each "&" looks for its ";". Reported as time per MiB, which
// stays flat from 64 KiB to 1 MiB when the parse is linear.
std::string Ampersands(size_t nSize, int64_t iForm) {
    const std::string csRun(nSize, '&');
    switch (iForm) {
    case 0:
        return "<a>" + csRun + "</a>";
    case 1:
        return "<a v='" + csRun + "'/>";
    default:
        return "<a><![ CDATA[ " + csRun + "]]></a>";
    }
}

void BM_CXml_Ampersands(benchmark::State& state) {
    const size_t nSize = size_t(state.range(0));
    const std::string csText = Ampersands(nSize, state.range(1));
    for (auto _ : state) {
        CXml xml;
        const char* p = csText.c_str();
        if (xml.Parse(&p) == nullptr)
            state.SkipWithError("parse failed");
    }
    state.SetLabel(state.range(1) == 0 ? "text" : state.range(1) == 1 ? "attribute" : "CDATA");
    state.counters["per_MiB"] =
        benchmark::Counter(double(state.iterations()) * double(nSize) / (1024.0 * 1024.0),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CXml_Ampersands)
    ->ArgsProduct({{64 << 10, 256 << 10, 1 << 20}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

#ifdef VEX_HAVE_LIBXML2
xmlNode* FindServiceType(xmlNode* pNode) {
    for (; pNode != nullptr; pNode = pNode->next) {
        if (pNode->type == XML_ELEMENT_NODE &&
            xmlStrcmp(pNode->name, BAD_CAST "serviceType") == 0 && pNode->children != nullptr &&
            pNode->children->content != nullptr &&
            xmlStrcasecmp(pNode->children->content, BAD_CAST SSDP_PRINT_SERVICE_URN) == 0)
            return pNode;
        if (xmlNode* pFound = FindServiceType(pNode->children); pFound != nullptr)
            return pFound;
    }
    return nullptr;
}

void BM_Libxml2_Description(benchmark::State& state) {
    const std::string& csText = Description();
    xmlInitParser();
    for (auto _ : state) {
        xmlDoc* pDoc = xmlReadMemory(csText.data(), int(csText.size()), nullptr, nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        std::string csPath;
        if (xmlNode* pType = FindServiceType(xmlDocGetRootElement(pDoc)); pType != nullptr) {
            for (xmlNode* p = pType->next; p != nullptr; p = p->next) {
                if (p->type == XML_ELEMENT_NODE && xmlStrcmp(p->name, BAD_CAST "controlURL") == 0) {
                    csPath = reinterpret_cast<const char*>(p->children->content);
                    break;
                }
            }
        }
        if (csPath != "/print/control")
            state.SkipWithError("wrong control path");
        benchmark::DoNotOptimize(csPath);
        xmlFreeDoc(pDoc);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(csText.size()));
}
BENCHMARK(BM_Libxml2_Description);
#endif

#ifdef VEX_HAVE_PUGIXML
void BM_Pugixml_Description(benchmark::State& state) {
    const std::string& csText = Description();
    for (auto _ : state) {
        pugi::xml_document doc;
        doc.load_buffer(csText.data(), csText.size());
        pugi::xml_node type = doc.find_node([](pugi::xml_node node) {
            return std::strcmp(node.name(), "serviceType") == 0 &&
                   strcasecmp(node.child_value(), SSDP_PRINT_SERVICE_URN) == 0;
        });
        std::string csPath = type.parent().child_value("controlURL");
        if (csPath != "/print/control")
            state.SkipWithError("wrong control path");
        benchmark::DoNotOptimize(csPath);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(csText.size()));
}
BENCHMARK(BM_Pugixml_Description);
#endif

} // namespace

BENCHMARK_MAIN();
