#include "browser/model/DropRules.h"

#include <QMimeData>
#include <QUrl>

DropRules::Dropped DropRules::dropped(const QMimeData* data) {
    Dropped out;
    if (data->hasUrls()) {
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile()) {
                if (out.file.isEmpty())
                    out.file = url.toLocalFile();
            } else if (out.text.isEmpty()) {
                out.text = url.toString();
            }
        }
    }
    if (out.text.isEmpty() && out.file.isEmpty() && data->hasText())
        out.text = data->text();
    return out;
}
