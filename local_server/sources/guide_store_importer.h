// The sources' way into the programme guide: guide files go to the guide store's importer.
#pragma once

#include "local_server/guide/guide_import.h"
#include "local_server/sources/source_refresher.h"

namespace zephra {

class GuideStoreImporter : public GuideImporter {
 public:
  explicit GuideStoreImporter(guide::GuideStore& store) : m_store(store) {}
  std::size_t importGuide(const std::string& key, const std::string& path) override {
    return guide::importGuideFile(m_store, key, path).programmes;
  }
  void forgetGuide(const std::string& key) override { guide::removeGuideSource(m_store, key); }

 private:
  guide::GuideStore& m_store;
};

}  // namespace zephra
