// The Qt tests run on the offscreen platform, one QApplication for all.
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/qt/QtTestSupport.h"

namespace virdo::test {

QObject*& LaterScope() {
  static QObject* scope = nullptr;
  return scope;
}

namespace {

class FreshScopePerTest : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    delete LaterScope();
    LaterScope() = new QObject;
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    delete LaterScope();
    LaterScope() = nullptr;
  }
};

}  // namespace
}  // namespace virdo::test

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  // Forking a process that runs Qt's threads is not safe; re-run instead.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ::testing::UnitTest::GetInstance()->listeners().Append(
      new virdo::test::FreshScopePerTest);
  return RUN_ALL_TESTS();
}
