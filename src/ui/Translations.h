#pragma once

// Qt's own texts (dialog buttons, the page context menu, the engine's error
// pages) in German, and German as the default locale. Call before the web
// engine starts; later calls do nothing.
void installGermanTranslations();
