#include "document_converters.h"

#include "docs_to_word.h"
#include "office_converters.h"
#include "word_to_docs.h"

namespace qvplugin {

namespace {

class PluginConverters final : public DocumentConverters {
public:
    uint32_t wordToDocs(const std::string &source, const std::string &destination) const override {
        return conv::convertWordToDocs(source, destination);
    }
    uint32_t docsToWord(const std::string &source, const std::string &destination) const override {
        return conv::convertDocsToWord(source, destination);
    }
    bool officeConversion(const std::string &source, const std::string &destination, int32_t sourceFormat,
                          int32_t destinationFormat) const override {
        return runOfficeConversion(source, destination, sourceFormat, destinationFormat);
    }
    bool presentationToSlides(QVDP_Error *error, const std::string &presentation,
                              const std::string &slides) const override {
        return convertPresentationToSlides(error, presentation, slides);
    }
    bool slidesToPresentation(QVDP_Error *error, const std::string &slides,
                              const std::string &presentation) const override {
        return convertSlidesToPresentation(error, slides, presentation);
    }
};

}  // namespace

const DocumentConverters &pluginConverters() {
    static const PluginConverters converters;
    return converters;
}

}  // namespace qvplugin
