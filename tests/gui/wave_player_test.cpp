// The player's side of the output interface, with an output that plays nothing: the device
// list, which device an entry plays on, and how failures and ends reach the "Wave Error" box
// and the finished signal.
#include "audio/wave_player.h"

#include <QSignalSpy>
#include <QtTest>

using namespace qbank::gui;

namespace {

class fake_output : public audio_output {
 public:
  QList<std::optional<QString>> names;
  QList<int> devices;  // the device of every start
  QList<std::uint32_t> lengths, rates;
  std::optional<QString> refusal;
  bool on = false;

  QList<std::optional<QString>> device_names() const override { return names; }
  std::optional<QString> start(sample_source& source, int channels, std::uint32_t rate,
                               int device) override {
    devices << device;
    lengths << source.length() * 10 + static_cast<std::uint32_t>(channels);
    rates << rate;
    if (refusal) return refusal;
    on = true;
    return std::nullopt;
  }
  void stop() override { on = false; }
  bool playing() const override { return on; }
  std::uint64_t position() const override { return on ? 4 : 0; }
  void end(const QString& error) {
    on = false;
    Q_EMIT finished(error);
  }
};

struct player_with_fake {
  QStringList boxes;
  fake_output* out;
  std::unique_ptr<wave_player> player;

  explicit player_with_fake(QList<std::optional<QString>> names) {
    auto o = std::make_unique<fake_output>();
    o->names = std::move(names);
    out = o.get();
    player = std::make_unique<wave_player>([this](const QString& t) { boxes << t; }, nullptr,
                                           std::move(o));
  }
};

const std::int16_t sound[4] = {1, 2, 3, 4};

}  // namespace

class wave_player_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void lists_every_device_and_says_which_it_cannot_read() {
    player_with_fake p({QStringLiteral("Speakers"), std::nullopt, QStringLiteral("Phones")});
    QCOMPARE(p.player->device_entries(),
             QStringList({QStringLiteral("DEFAULT WAVE OUT DEVICE"), QStringLiteral("Speakers"),
                          QString(), QStringLiteral("Phones")}));
    QCOMPARE(p.boxes, QStringList({QStringLiteral("fffd")}));
  }

  void entry_chooses_the_device_data() {
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("device");
    QTest::newRow("default") << 0 << -1;
    QTest::newRow("first") << 1 << 0;
    QTest::newRow("last") << 2 << 1;
    QTest::newRow("past the list") << 7 << 3;
  }
  void entry_chooses_the_device() {
    QFETCH(int, entry);
    QFETCH(int, device);
    player_with_fake p({QStringLiteral("A"), QStringLiteral("B")});
    QVERIFY(p.player->play(sound, sizeof sound, entry == 2, entry));
    QCOMPARE(p.out->devices, QList<int>({device}));
    // All 8 bytes, in one or two channels, at the player's rate.
    QCOMPARE(p.out->lengths, QList<std::uint32_t>({entry == 2 ? 82u : 81u}));
    QCOMPARE(p.out->rates, QList<std::uint32_t>({48000u}));
    QVERIFY(p.player->source());
  }

  void a_refused_start_is_a_wave_error_and_plays_nothing() {
    player_with_fake p({QStringLiteral("A")});
    p.out->refusal = QStringLiteral("The device is busy.");
    QSignalSpy finished(p.player.get(), &wave_player::finished);
    QVERIFY(!p.player->play(sound, sizeof sound, true, 1));
    QCOMPARE(p.boxes, QStringList({QStringLiteral("The device is busy.")}));
    QVERIFY(!p.player->playing());
    QVERIFY(!p.player->source());
    QCOMPARE(finished.size(), 0);
    // Nothing to play asks no device at all.
    QVERIFY(!p.player->play(sound, 0, false, 1));
    QCOMPARE(p.out->devices.size(), 1);
  }

  void ends_stops_and_failures_each_finish_once() {
    player_with_fake p({QStringLiteral("A")});
    QSignalSpy finished(p.player.get(), &wave_player::finished);
    p.player->stop();  // nothing plays: nothing happens
    QCOMPARE(finished.size(), 0);
    QVERIFY(p.player->play(sound, sizeof sound, false, 0));
    p.player->stop();
    QCOMPARE(finished.size(), 1);
    QVERIFY(!p.player->source());
    QVERIFY(p.player->play(sound, sizeof sound, false, 0));
    p.out->end(QString());
    QCOMPARE(finished.size(), 2);
    QVERIFY(p.boxes.isEmpty());
    QVERIFY(p.player->play(sound, sizeof sound, false, 0));
    p.out->end(QStringLiteral("The device was removed."));
    QCOMPARE(finished.size(), 3);
    QCOMPARE(p.boxes, QStringList({QStringLiteral("The device was removed.")}));
    QVERIFY(!p.player->playing());
  }
};

QTEST_MAIN(wave_player_test)
#include "wave_player_test.moc"
