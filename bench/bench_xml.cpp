// A 4 KB device description: CXml's parse and control-path query against the
// tree parses of libxml2 and pugixml with the same search, on the same bytes.
#include "service/Ssdp.h"
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
        std::string csPath = xml.GetStateVariableUrl(&iPort);
        if (csPath != kControlPath || iPort != 8080)
            state.SkipWithError("wrong control path");
        benchmark::DoNotOptimize(csPath);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(csText.size()));
    state.counters["bytes"] = double(csText.size());
}
BENCHMARK(BM_CXml_Description);

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
