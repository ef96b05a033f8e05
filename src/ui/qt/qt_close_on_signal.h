// SIGTERM, SIGINT and SIGHUP close a Qt window as the operator's close does (a station PC that
// shuts down, Ctrl-C in the terminal that started it): the handler only writes a byte to a
// pipe; the GUI thread reads it and closes the window. Set up once, on the GUI thread.
#pragma once

class QWidget;

namespace qvlink {

// `window` must live until the event loop has ended.
void CloseOnTerminationSignals(QWidget& window);

}  // namespace qvlink
