// What the drivers do alike, built on what each does its own way.
#include "driver/TestDriver.h"

namespace driver
{

void answerNextMessageBox(ui::Answer a, MessageBoxSeen* seen)
{
    onNextModal(
        [a, seen](Modal& m)
        {
            if (m.form())
            {
                m.close();
                return;
            }
            if (seen)
                *seen = m.box();
            m.answer(a);
        });
}

}  // namespace driver
