#include "passwords/Keyring.h"

#include <QPointer>

// GLib names a structure member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

namespace {
const SecretSchema* schema() {
    static const SecretSchema s = [] {
        SecretSchema made{};
        made.name = Keyring::SchemaName;
        made.flags = SECRET_SCHEMA_NONE;
        made.attributes[0] = {"site", SECRET_SCHEMA_ATTRIBUTE_STRING};
        made.attributes[1] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        made.attributes[2] = {"form", SECRET_SCHEMA_ATTRIBUTE_STRING};
        made.attributes[3] = {nullptr, SecretSchemaAttributeType(0)};
        return made;
    }();
    return &s;
}

GHashTable* attributes() {
    return g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free);
}

void put(GHashTable* table, const char* name, const QString& value) {
    g_hash_table_insert(table, g_strdup(name), g_strdup(value.toUtf8().constData()));
}

QString attribute(GHashTable* table, const char* name) {
    return QString::fromUtf8(static_cast<const char*>(g_hash_table_lookup(table, name)));
}

// Whether the call went through; the error's text never carries a secret,
// yet nothing of it is logged.
bool succeeded(GError* error) {
    if (!error)
        return true;
    g_error_free(error);
    return false;
}

bool clear(GHashTable* match, GCancellable* cancel) {
    GError* error = nullptr;
    secret_password_clearv_sync(schema(), match, cancel, &error);
    return succeeded(error);
}

QList<SavedLogin> search(GHashTable* match, GCancellable* cancel, bool* ok) {
    QList<SavedLogin> found;
    GError* error = nullptr;
    const auto flags =
        SecretSearchFlags(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS);
    GList* items = secret_password_searchv_sync(schema(), match, flags, cancel, &error);
    *ok = succeeded(error);
    for (GList* i = items; i; i = i->next) {
        auto* item = static_cast<SecretRetrievable*>(i->data);
        GHashTable* attrs = secret_retrievable_get_attributes(item);
        SavedLogin login;
        login.site = attribute(attrs, "site");
        login.user = attribute(attrs, "user");
        login.formUrl = attribute(attrs, "form");
        g_hash_table_unref(attrs);
        GError* secretError = nullptr;
        if (SecretValue* value =
                secret_retrievable_retrieve_secret_sync(item, cancel, &secretError)) {
            login.password = QString::fromUtf8(secret_value_get_text(value));
            secret_value_unref(value);
        }
        if (succeeded(secretError))
            found << login;
    }
    g_list_free_full(items, g_object_unref);
    return found;
}
} // namespace

Keyring::Keyring(QObject* parent)
    : QObject(parent), m_worker(new QObject), m_cancel(g_cancellable_new()) {
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("Keyring"));
    m_thread.start();
}

Keyring::~Keyring() {
    g_cancellable_cancel(static_cast<GCancellable*>(m_cancel));
    m_thread.quit();
    m_thread.wait();
    g_object_unref(m_cancel);
}

void Keyring::run(std::function<std::function<void()>()> work) {
    QPointer<Keyring> self(this);
    QMetaObject::invokeMethod(m_worker, [self, work = std::move(work)] {
        std::function<void()> answer = work();
        // Back on the thread that asked, unless the keyring is gone by then.
        if (self)
            QMetaObject::invokeMethod(self.data(), [self, answer] {
                if (self)
                    answer();
            });
    });
}

void Keyring::find(const QString& site, Found done) {
    auto* cancel = static_cast<GCancellable*>(m_cancel);
    run([site, done = std::move(done), cancel]() -> std::function<void()> {
        GHashTable* match = attributes();
        if (!site.isEmpty())
            put(match, "site", site);
        bool ok = false;
        const QList<SavedLogin> logins = search(match, cancel, &ok);
        g_hash_table_unref(match);
        return [done, ok, logins] { done(ok, logins); };
    });
}

void Keyring::store(const SavedLogin& login, Done done) {
    auto* cancel = static_cast<GCancellable*>(m_cancel);
    run([login, done = std::move(done), cancel]() -> std::function<void()> {
        // The login of that site and user goes, whatever form it came from.
        GHashTable* old = attributes();
        put(old, "site", login.site);
        put(old, "user", login.user);
        clear(old, cancel);
        g_hash_table_unref(old);

        GHashTable* attrs = attributes();
        put(attrs, "site", login.site);
        put(attrs, "user", login.user);
        put(attrs, "form", login.formUrl);
        const QByteArray label = QStringLiteral("Korvix: %1 auf %2")
                                     .arg(login.user, LoginRules::hostOf(login.site))
                                     .toUtf8();
        QByteArray secret = login.password.toUtf8();
        GError* error = nullptr;
        secret_password_storev_sync(schema(), attrs, SECRET_COLLECTION_DEFAULT, label.constData(),
                                    secret.constData(), cancel, &error);
        secret.fill('\0');
        g_hash_table_unref(attrs);
        const bool ok = succeeded(error);
        return [done, ok] { done(ok); };
    });
}

void Keyring::remove(const QString& site, const QString& user, Done done) {
    auto* cancel = static_cast<GCancellable*>(m_cancel);
    run([site, user, done = std::move(done), cancel]() -> std::function<void()> {
        GHashTable* match = attributes();
        if (!site.isEmpty()) {
            put(match, "site", site);
            put(match, "user", user);
        }
        const bool ok = clear(match, cancel);
        g_hash_table_unref(match);
        return [done, ok] { done(ok); };
    });
}
