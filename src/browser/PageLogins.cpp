#include "browser/PageLogins.h"

#include "browser/PagePanels.h"
#include "browser/QtWebView.h"
#include "common/Product.h"
#include "passwords/Passwords.h"
#include "passwords/model/LoginRules.h"
#include "ui/Dialogs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace {
// Runs in a world of its own, out of the page's scripts' reach: keeps the
// login a form sends until the program takes it, and fills the fields.
const char FormScript[] = R"JS(
(function() {
  if (window.korvixLogins) return;
  var sent = null;
  function userField(password) {
    var fields = Array.prototype.slice.call(
        password.form ? password.form.elements : document.querySelectorAll('input'));
    for (var i = fields.indexOf(password) - 1; i >= 0; --i) {
      var f = fields[i];
      if (f.tagName === 'INPUT' && /^(text|email|tel|)$/.test(f.type)) return f;
    }
    return null;
  }
  function filled(form) {
    var fields = form.querySelectorAll('input[type=password]');
    for (var i = 0; i < fields.length; ++i)
      if (fields[i].value) return fields[i];
    return null;
  }
  function set(field, value) {
    field.value = value;
    field.dispatchEvent(new Event('input', {bubbles: true}));
    field.dispatchEvent(new Event('change', {bubbles: true}));
  }
  window.addEventListener('submit', function(event) {
    var password = filled(event.target);
    if (!password) return;
    var user = userField(password);
    sent = {user: user ? user.value : '', password: password.value,
            form: event.target.action || location.href};
  }, true);
  window.korvixLogins = {
    take: function() { var s = sent; sent = null; return s; },
    hasPasswordField: function() { return !!document.querySelector('input[type=password]'); },
    fill: function(logins) {
      var password = document.querySelector('input[type=password]');
      if (!password || !logins.length) return 0;
      var user = userField(password);
      if (logins.length === 1) {
        if (user) set(user, logins[0].user);
        set(password, logins[0].password);
        return 1;
      }
      if (!user) return 0;
      // Several logins: the user picks one from the name field's list.
      var list = document.createElement('datalist');
      list.id = 'korvix-logins-' + Math.random().toString(36).slice(2);
      logins.forEach(function(l) {
        var option = document.createElement('option');
        option.value = l.user;
        list.appendChild(option);
      });
      document.body.appendChild(list);
      user.setAttribute('list', list.id);
      function pick() {
        for (var i = 0; i < logins.length; ++i)
          if (logins[i].user === user.value) { set(password, logins[i].password); return; }
      }
      user.addEventListener('input', pick);
      if (user.value) pick();
      return logins.length;
    }
  };
})();
)JS";
} // namespace

PageLogins::PageLogins(QtWebView* view, Passwords* passwords)
    : QObject(view), m_view(view), m_passwords(passwords) {
    attach();
}

void PageLogins::attach() {
    QWebEngineScript script;
    script.setName(QStringLiteral("korvix-logins"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(QString::fromUtf8(FormScript));
    m_view->page()->scripts().insert(script);
}

void PageLogins::formSubmitted() {
    if (!m_passwords)
        return;
    const QString site = LoginRules::siteOf(m_view->page()->url());
    if (site.isEmpty() || m_passwords->isNeverSaved(site))
        return;
    QPointer<PageLogins> self(this);
    // Asked before the page leaves: the form's page answers.
    m_view->page()->runJavaScript(
        QStringLiteral("window.korvixLogins ? window.korvixLogins.take() : null"),
        QWebEngineScript::ApplicationWorld, [self, site](const QVariant& result) {
            const QVariantMap sent = result.toMap();
            if (!self || sent.value(QStringLiteral("password")).toString().isEmpty())
                return;
            self->offer({site, sent.value(QStringLiteral("user")).toString(),
                         sent.value(QStringLiteral("password")).toString(),
                         sent.value(QStringLiteral("form")).toString()});
        });
}

void PageLogins::offer(const SavedLogin& sent) {
    QPointer<PageLogins> self(this);
    const auto unreachable = [self](bool reached) {
        if (!reached && self && self->m_passwords && self->m_passwords->takeUnreachableNotice())
            Dialogs::message(self->m_view->widget()->window(), QMessageBox::Information,
                             Product::AppTitle, QString::fromUtf8(Passwords::UnreachableText));
    };
    m_passwords->find(
        sent.site,
        [self, sent](const QList<SavedLogin>& known) {
            if (!self || !self->m_passwords || !self->m_passwords->isAvailable())
                return;
            QPointer<Passwords> passwords = self->m_passwords;
            const auto save = [passwords, sent] {
                if (passwords)
                    passwords->save(sent);
            };
            switch (LoginRules::offerFor(known, sent.user, sent.password)) {
            case LoginRules::Offer::Nothing:
                return;
            case LoginRules::Offer::Save:
                self->m_view->ask(
                    QStringLiteral("Passwort für %1 speichern?").arg(LoginRules::hostOf(sent.site)),
                    {PanelChoice{QStringLiteral("Speichern"), save},
                     PanelChoice{QStringLiteral("Nie für diese Seite"),
                                 [passwords, site = sent.site] {
                                     if (passwords)
                                         passwords->neverSave(site);
                                 }},
                     PanelChoice{QStringLiteral("Nicht jetzt"), {}}},
                    {});
                return;
            case LoginRules::Offer::Update:
                self->m_view->ask(QStringLiteral("Passwort aktualisieren?"),
                                  {PanelChoice{QStringLiteral("Aktualisieren"), save},
                                   PanelChoice{QStringLiteral("Nicht jetzt"), {}}},
                                  {});
                return;
            }
        },
        unreachable);
}

void PageLogins::pageLoaded(bool ok) {
    if (!ok || !m_passwords || !m_passwords->isAvailable())
        return;
    const QUrl url = m_view->page()->url();
    const QString site = LoginRules::siteOf(url);
    if (site.isEmpty())
        return;
    QPointer<PageLogins> self(this);
    QWebEnginePage* page = m_view->page();
    page->runJavaScript(
        QStringLiteral("window.korvixLogins ? window.korvixLogins.hasPasswordField() : false"),
        QWebEngineScript::ApplicationWorld, [self, site, url](const QVariant& has) {
            if (!self || !has.toBool() || !self->m_passwords)
                return;
            self->m_passwords->find(site, [self, url](const QList<SavedLogin>& logins) {
                // The page may have gone elsewhere while the keyring answered.
                if (!self || logins.isEmpty() || self->m_view->page()->url() != url)
                    return;
                QJsonArray list;
                for (const SavedLogin& l : logins)
                    list.append(QJsonObject{{QStringLiteral("user"), l.user},
                                            {QStringLiteral("password"), l.password}});
                self->m_view->page()->runJavaScript(
                    QStringLiteral("window.korvixLogins && window.korvixLogins.fill(%1)")
                        .arg(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact))),
                    QWebEngineScript::ApplicationWorld);
            });
        });
}
