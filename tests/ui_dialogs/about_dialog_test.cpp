#include <gtest/gtest.h>

#include <QLabel>
#include <QPixmap>
#include <QSignalSpy>
#include <QTimer>

#include "dialog_test_support.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/skin.h"

namespace zv {
namespace {

QPixmap art() {
    QPixmap p(411, 300);
    p.fill(Qt::darkBlue);
    return p;
}

TEST(AboutDialog, ShowsTheVersionAndClosesByItselfAfterThreeSeconds) {
    AboutDialog d(art());
    EXPECT_EQ(d.version_label()->text(), QStringLiteral("Version: V3.04.03"));
    EXPECT_TRUE(d.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(d.close_timer()->isActive());  // counts from the moment it shows
    QSignalSpy finished(&d, &QDialog::finished);
    d.show();
    ASSERT_TRUE(d.close_timer()->isActive());
    EXPECT_TRUE(d.close_timer()->isSingleShot());
    EXPECT_EQ(d.close_timer()->interval(), 3000);
    // Let the timer run out now rather than in three seconds.
    d.close_timer()->start(1);
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_FALSE(d.isVisible());
}

TEST(AboutDialog, ShowsTheSkinsProductArtWhole) {
    Skin skin;
    const QPixmap& art = skin.image(SkinId::ProductArt);
    AboutDialog d(art);
    d.show();
    const QLabel* picture = nullptr;
    for (const QLabel* label : d.findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) {
            picture = label;
        }
    }
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixmap().size(), art.size());
    EXPECT_GE(picture->width(), art.width());
    EXPECT_GE(picture->height(), art.height());
    EXPECT_LT(d.version_label()->geometry().top(), d.height());
}

TEST(AboutDialog, ClosesOnAClickOnEnterAndOnEscape) {
    {
        AboutDialog d(art());
        ASSERT_TRUE(test::show_active(d));
        QTest::mouseClick(d.version_label(), Qt::LeftButton);
        EXPECT_FALSE(d.isVisible());
        EXPECT_FALSE(d.close_timer()->isActive());
    }
    {
        AboutDialog d(art());
        ASSERT_TRUE(test::show_active(d));
        QTest::keyClick(&d, Qt::Key_Return);
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    AboutDialog d(art());
    ASSERT_TRUE(test::show_active(d));
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace zv
