#pragma once

#include "browser/QtWebView.h"

#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <memory>
#include <optional>

// Runs a script in the view's page and waits for its result; an invalid
// QVariant when none came. The answer may arrive after the wait gave up, so
// it is kept where it outlives the call.
inline QVariant runPageScript(QtWebView* view, const QString& script) {
    auto result = std::make_shared<std::optional<QVariant>>();
    view->page()->runJavaScript(script, [result](const QVariant& v) { *result = v; });
    return QTest::qWaitFor([result] { return result->has_value(); }, 10000) ? **result : QVariant();
}
