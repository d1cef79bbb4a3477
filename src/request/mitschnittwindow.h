// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Mitschnitt window "Mitschnitt - Seite N": the exchange of one request
// window for the person. It follows its request window's session live
// (every Senden brings the new request's Mitschnitt) and shows
//   - "Zeitablauf": events and arrivals with their times and byte counts,
//   - "Gesendet" and "Empfangen": the bytes as text (control characters as
//     their symbols) or as hex, rows of 16 bytes like hexdump -C,
//   - "Dekodiert": the body with framing and compression undone (by the
//     transcript's decoder),
//   - "TLS": the TLS lines of the connection.
// It is no request window: no index of the registry, no script object.
//
// The byte views paint only the rows on screen and read only their bytes
// from the transcript, so a 100 MiB answer costs no string of its own.

#include "request/requestsession.h"
#include "request/transcript.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QTimer;

namespace varnok {

class Dialogs;

// Where a byte view reads its bytes: the size now, and `count` bytes from
// `offset` on. The size may grow (a live answer); it never shrinks without
// a new source.
struct ByteSource
{
    std::function<qint64()> size;
    std::function<QByteArray(qint64 offset, qint64 count)> read;
};

class ByteView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    enum class Mode { Text, Hex };
    static constexpr int kHexRowBytes = 16;
    // A text row ends after LF or after this many bytes, so a binary body
    // without line breaks still has rows of a width one can scroll.
    static constexpr qint64 kTextRowBytes = 4096;

    explicit ByteView(QWidget *parent = nullptr);

    void setSource(ByteSource source);
    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    // The source grew: the rows extend, nothing shown is laid out anew.
    void refresh();

    qint64 rowCount() const;
    // Offset and length of a row's bytes.
    qint64 rowOffset(qint64 row) const;
    qint64 rowLength(qint64 row) const;
    // What a row shows: in hex "00000010  48 54 ...  |HTTP/1.1 200 OK.|",
    // in text its characters with control characters as symbols.
    QString rowText(qint64 row) const;
    qint64 firstVisibleRow() const;
    void scrollToRow(qint64 row);
    // Bytes the last paint read from the source (only the visible rows').
    qint64 lastPaintReadBytes() const { return m_lastPaintRead; }

    // Selected rows (first <= last), -1 when nothing is selected.
    qint64 selectionFirstRow() const;
    qint64 selectionLastRow() const;
    void selectRows(qint64 first, qint64 last);
    void selectAll();
    // The exact bytes of the selected rows.
    QByteArray selectedBytes() const;
    void copy() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void extendTextIndex();
    void updateScrollBars();
    qint64 rowAt(int y) const;
    int rowHeight() const;
    int charWidth() const;
    static QString hexRow(qint64 offset, const QByteArray &bytes);
    QString textRow(const QByteArray &bytes) const;

    ByteSource m_source;
    Mode m_mode = Mode::Hex;
    // Text mode: where every row starts, up to what was scanned.
    std::vector<qint64> m_textRows{0};
    qint64 m_indexedTo = 0;
    qint64 m_anchorRow = -1;
    qint64 m_caretRow = -1;
    qint64 m_lastPaintRead = 0;
    int m_longestRow = 80;
};

class MitschnittWindow : public QWidget
{
    Q_OBJECT
public:
    MitschnittWindow(Dialogs &dialogs, int index, QWidget *parent = nullptr);
    ~MitschnittWindow() override;

    // Follows the session: its current Mitschnitt now, each new one from
    // its next Senden on. The window must be closed before the session goes.
    void follow(RequestSession &session);
    // Shows one Mitschnitt (the session's, or one made by a test).
    void setTranscript(std::shared_ptr<const Transcript> transcript);
    const std::shared_ptr<const Transcript> &transcript() const { return m_transcript; }
    // Shows what changed in the Mitschnitt since the last time (live).
    void refresh();

    enum Tab { Zeitablauf, GesendetTab, EmpfangenTab, DekodiertTab, TlsTab };
    void showTab(Tab tab);
    ByteView *byteView(Tab tab) const;
    QString timelineText() const;
    QString tlsViewText() const;

    // What "Speichern…" offers; each asks for a file through the dialogs
    // seam and writes it whole.
    enum class SaveWhat { Empfangen, Dekodiert, Mitschnitt };
    QByteArray bytesToSave(SaveWhat what) const;
    void save(SaveWhat what);

private:
    void scheduleRefresh();
    void refreshCurrentTab();
    void updateSummary();
    const DecodedBody &decodedBody() const;

    Dialogs &m_dialogs;
    int m_index;
    std::shared_ptr<const Transcript> m_transcript = std::make_shared<Transcript>();
    QPointer<RequestSession> m_session;
    QTabWidget *m_tabs = nullptr;
    QPlainTextEdit *m_timeline = nullptr;
    QPlainTextEdit *m_tls = nullptr;
    ByteView *m_sent = nullptr;
    ByteView *m_received = nullptr;
    ByteView *m_decoded = nullptr;
    QLabel *m_summary = nullptr;
    QLabel *m_decodeProblem = nullptr;
    QComboBox *m_mode = nullptr;
    QTimer *m_refreshTimer = nullptr;
    // The decoded body of the shown Mitschnitt, made when first asked, for
    // the received size it was made at.
    mutable std::shared_ptr<DecodedBody> m_decodedBody;
    mutable qint64 m_decodedAt = -1;
    mutable qint64 m_decodedBodyAt = -1;
    mutable const Transcript *m_decodedOf = nullptr;
    QString m_lastSaveName;
};

} // namespace varnok
