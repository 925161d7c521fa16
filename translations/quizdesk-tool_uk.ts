<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="uk_UA">
<context>
    <name>QCommandLineParser</name>
    <message>
        <source>Usage: %1</source>
        <translation>Використання: %1</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Параметри:</translation>
    </message>
    <message>
        <source>Arguments:</source>
        <translation>Аргументи:</translation>
    </message>
    <message>
        <source>[options]</source>
        <translation>[параметри]</translation>
    </message>
    <message>
        <source>Unknown option &apos;%1&apos;.</source>
        <translation>Невідомий параметр «%1».</translation>
    </message>
    <message>
        <source>Unknown options: %1.</source>
        <translation>Невідомі параметри: %1.</translation>
    </message>
    <message>
        <source>Missing value after &apos;%1&apos;.</source>
        <translation>Бракує значення після «%1».</translation>
    </message>
    <message>
        <source>Unexpected value after &apos;%1&apos;.</source>
        <translation>Зайве значення після «%1».</translation>
    </message>
</context>
<context>
    <name>qdtool</name>
    <message>
        <source>Loads the test in DIR exactly as QuizDesk&apos;s start-up does.
Prints a summary, or the program&apos;s own fault message (exit 1).</source>
        <translation>Завантажує тест із DIR точно так, як це робить QuizDesk під час запуску.
Виводить підсумок або власне повідомлення програми про помилку (код виходу 1).</translation>
    </message>
    <message>
        <source>Plays a student&apos;s session on the test in DIR from a script, on a virtual clock, and prints
the messages shown, the results and the report&apos;s path.</source>
        <translation>Програє сеанс учня на тесті з DIR за сценарієм, на віртуальному годиннику, і виводить
показані повідомлення, результати та шлях до звіту.</translation>
    </message>
    <message>
        <source>The student&apos;s actions, one a line.</source>
        <translation>Дії учня, по одній у рядку.</translation>
    </message>
    <message>
        <source>Draw the questions and answer orders from seed S (0 to 4294967295) instead of the clock.</source>
        <translation>Вибирати питання й порядок відповідей із зерна S (від 0 до 4294967295), а не з годинника.</translation>
    </message>
    <message>
        <source>The local time at which the virtual clock starts (default: now).</source>
        <translation>Місцевий час, з якого починає віртуальний годинник (типово: зараз).</translation>
    </message>
    <message>
        <source>The exam server&apos;s port in examination mode (default 1023).</source>
        <translation>Порт екзаменаційного сервера в режимі екзамену (типово 1023).</translation>
    </message>
    <message>
        <source>&quot;%1&quot; wants options, each its text in double quotes or its row: %1 &quot;TEXT&quot; ...</source>
        <translation>«%1» потребує варіантів: кожен — його текст у подвійних лапках або його рядок: %1 &quot;ТЕКСТ&quot; ...</translation>
    </message>
    <message>
        <source>Prints the test in DIR, loaded as QuizDesk&apos;s start-up loads it, as JSON.
Without --seed nothing is drawn (file order).</source>
        <translation>Виводить тест із DIR, завантажений так, як його завантажує QuizDesk під час запуску, у JSON.
Без --seed нічого не вибирається (порядок файлу).</translation>
    </message>
    <message>
        <source>Draw the run&apos;s questions and answer orders from seed S (0 to 4294967295) instead of the clock, and list them as i_r.</source>
        <translation>Вибирати питання проходження й порядок відповідей із зерна S (від 0 до 4294967295), а не з годинника, і перелічити їх як i_r.</translation>
    </message>
    <message>
        <source>Writes the test in DIR as a GIFT or Moodle XML file.
What the format cannot hold is said in its comments.</source>
        <translation>Записує тест із DIR як файл GIFT або Moodle XML.
Те, чого формат не вміщує, сказано в його коментарях.</translation>
    </message>
    <message>
        <source>gift or moodle-xml.</source>
        <translation>gift або moodle-xml.</translation>
    </message>
    <message>
        <source>The file to write (default: standard output).</source>
        <translation>Файл для запису (типово: стандартний вивід).</translation>
    </message>
    <message>
        <source>Makes a QuizDesk test (voprosi.txt, otveti.txt and pictures) in DIR
from a GIFT, Moodle XML or Aiken file. Parts the test cannot hold
as written are listed on stderr as FILE:LINE: &quot;QUESTION&quot;: WHAT.</source>
        <translation>Створює тест QuizDesk (voprosi.txt, otveti.txt і малюнки) у DIR
з файлу GIFT, Moodle XML або Aiken. Те, чого тест не може вмістити
в записаному вигляді, перелічено в stderr як ФАЙЛ:РЯДОК: &quot;ПИТАННЯ&quot;: ЩО.</translation>
    </message>
    <message>
        <source>The file to import.</source>
        <translation>Файл для імпорту.</translation>
    </message>
    <message>
        <source>gift, moodle-xml or aiken (default: by the file).</source>
        <translation>gift, moodle-xml або aiken (типово: за файлом).</translation>
    </message>
    <message>
        <source>The test&apos;s folder (default: the file&apos;s name without its extension); it must not hold a test yet.</source>
        <translation>Тека тесту (типово: назва файлу без розширення); у ній ще не має бути тесту.</translation>
    </message>
    <message>
        <source>Write both files scrambled.</source>
        <translation>Записати обидва файли зашифрованими.</translation>
    </message>
    <message>
        <source>Write nothing when anything would be lost (exit 1).</source>
        <translation>Нічого не записувати, якщо щось було б утрачено (код виходу 1).</translation>
    </message>
    <message>
        <source>The folder of the students&apos; report files (and its subfolders).</source>
        <translation>Тека з файлами звітів учнів (і її підтеки).</translation>
    </message>
    <message>
        <source>Which report of a student with several is counted: latest (default), best or first.</source>
        <translation>Який звіт учня з кількома звітами зараховується: latest (останній, типово), best (найкращий) або first (перший).</translation>
    </message>
    <message>
        <source>Score every report against the test in DIR first (a report made with another key is then counted).</source>
        <translation>Спершу переоцінити кожен звіт за тестом із DIR (тоді зараховується й звіт, зроблений з іншим ключем).</translation>
    </message>
    <message>
        <source>Scores every answer of the reports in FOLDER again with the test in DIR
(typically with a corrected otveti.txt), through the same scoring as the
program, and lists the students whose points, percentage or grade change:
  NAME (FILE): points OLD → NEW, percent OLD → NEW, grade OLD → NEW
then how many of the reports changed. --write OUT writes corrected copies
of all the reports into OUT under the same names; the originals are never
overwritten. The questions and options must be those of the exam: only
keys and marks may differ. An ordering or a matching answered with the
mouse is rescored from what its report line shows (the line keeps no gap
between filled places and no row whose group expected nothing). When the
test time ran out, the marks of the questions left unasked come from the
test when it asks every question, else from the report&apos;s maximum.
With --db the reports are those of the journal&apos;s finished sittings.
Exit 1 when a report could not be rescored or is of another test.</source>
        <translation>Заново оцінює кожну відповідь звітів із FOLDER за тестом із DIR
(зазвичай із виправленим otveti.txt) тим самим оцінюванням, що й
програма, і перелічує учнів, у яких змінюються бали, відсоток або оцінка:
  NAME (FILE): points OLD → NEW, percent OLD → NEW, grade OLD → NEW
а потім — скільки звітів змінилося. --write OUT записує виправлені копії
усіх звітів в OUT під тими самими назвами; оригінали ніколи не
перезаписуються. Питання й варіанти мають бути тими самими, що на екзамені:
відрізнятися можуть лише ключі та бали. Упорядкування чи відповідність,
виконані мишею, переоцінюються за тим, що показує рядок звіту (рядок не
зберігає проміжків між заповненими місцями і рядків, у групі яких нічого
не очікувалося). Якщо час тесту вичерпався, бали незаданих питань беруться
з тесту, коли він задає всі питання, інакше — з максимуму звіту.
З --db звіти беруться із завершених сесій журналу.
Код виходу 1, якщо звіт не вдалося переоцінити або він з іншого тесту.</translation>
    </message>
    <message>
        <source>Write corrected copies of the reports into folder OUT.</source>
        <translation>Записати виправлені копії звітів у теку OUT.</translation>
    </message>
    <message>
        <source>Writes one self-contained HTML page of the exam&apos;s results (the
gradebook, a histogram of the percentages, the item table with its
flags, the options chosen in every choice question) that prints on A4.
The figures are those of &apos;quizdesk-tool stats&apos;.</source>
        <translation>Записує одну самодостатню HTML-сторінку результатів екзамену (журнал
оцінок, гістограму відсотків, таблицю питань з позначками, варіанти,
вибрані в кожному питанні з вибором), що друкується на A4.
Числа ті самі, що в &apos;quizdesk-tool stats&apos;.</translation>
    </message>
    <message>
        <source>The page to write.</source>
        <translation>Сторінка для запису.</translation>
    </message>
    <message>
        <source>Writes the student table students.dbf from a file of names, one a line
(UTF-8, or code page 1251 when the file is not valid UTF-8; blank lines
are skipped, blanks around a name dropped).</source>
        <translation>Записує таблицю учнів students.dbf з файлу імен, по одному в рядку
(UTF-8 або кодова сторінка 1251, якщо файл не є правильним UTF-8; порожні
рядки пропускаються, пробіли навколо імені відкидаються).</translation>
    </message>
    <message>
        <source>The text file of names.</source>
        <translation>Текстовий файл з іменами.</translation>
    </message>
    <message>
        <source>Write the table to OUT (default: students.dbf here).</source>
        <translation>Записати таблицю в OUT (типово: students.dbf тут).</translation>
    </message>
    <message>
        <source>Scrambles a plain test file with seed S (0 to 65535).</source>
        <translation>Шифрує відкритий файл тесту із зерном S (від 0 до 65535).</translation>
    </message>
    <message>
        <source>Turns a scrambled test file back into plain text.</source>
        <translation>Повертає зашифрований файл тесту у відкритий текст.</translation>
    </message>
    <message>
        <source>voprosi.txt or otveti.txt.</source>
        <translation>voprosi.txt або otveti.txt.</translation>
    </message>
    <message>
        <source>Write the result to OUT instead of replacing FILE.</source>
        <translation>Записати результат в OUT замість заміни FILE.</translation>
    </message>
    <message>
        <source>questions or answers (default: from FILE&apos;s name).</source>
        <translation>questions (питання) або answers (відповіді) (типово: за назвою FILE).</translation>
    </message>
    <message>
        <source>The seed, 0 to 65535.</source>
        <translation>Зерно, від 0 до 65535.</translation>
    </message>
    <message>
        <source>Item analysis of an exam: the test in DIR, the students&apos; reports in FOLDER.

Per question: sat (students asked it), facility (mean points / mark, %), sd
(of its points), discrimination (100 x the correlation of its points with the
rest of the test: the student&apos;s total points less this question&apos;s, over the
students who sat it), efficiency (100 x that covariance over the largest the
same values allow, both sorted alike), flags (efficiency&lt;15%, discrimination&lt;0,
facility&gt;95%, facility&lt;5%) and, for choice questions, how often each option
(its number in the test file) was chosen.
For the test: students, mean, median, sd and sem of the percentages, Cronbach&apos;s
alpha (KR-20 for 0/1 questions) over the questions every student sat, the
grades.
Variances and standard deviations divide by n - 1. A question a student was
not asked is missing for that student, not zero. Undefined values (too few
students, no spread) show as &quot;-&quot; (null in JSON, empty in CSV).
Reports cut short (no totals) are not counted; files that are not reports
are named on stderr and skipped. A report that does not fit the test in DIR
(another test, a question or option the test does not have, points over a
question&apos;s mark) is refused with its name and the reason, and nothing is
counted (exit 1), unless --rescore scores every report against the test first.
One attempt per student is counted (--attempt, default the latest finished);
students with several reports are listed as repeated. A sitting closed with no
question answered is listed as not sat and enters no figure.

--json keys: students, mean, median, sd, alpha, sem, grades {grade: count},
questions [{question, sat, facility, sd, discrimination, efficiency, flags,
options {option: times} or null}], attempt, notSat [names], repeated
[{student, reports, counted}]. mean, median, sd and sem are in percent of
the maximum (as the reports), facility, discrimination and efficiency in
percent, a question&apos;s sd in points, alpha a fraction; JSON keeps four
decimals. --csv: one line per question.</source>
        <translation>Аналіз питань екзамену: тест у DIR, звіти учнів у FOLDER.

Для кожного питання: sat (скільки учнів його отримали), facility (легкість:
середні бали / максимум, %), sd (стандартне відхилення його балів),
discrimination (розрізнювальна здатність: 100 x кореляція його балів з рештою
тесту — загальними балами учня без балів цього питання — серед учнів, що його
отримали), efficiency (ефективність: 100 x ця коваріація, поділена на
найбільшу, яку допускають ті самі значення, обидва ряди впорядковані однаково),
flags (позначки: efficiency&lt;15%, discrimination&lt;0, facility&gt;95%, facility&lt;5%)
і, для питань з вибором, як часто вибирали кожен варіант (його номер у файлі
тесту).
Для тесту: кількість учнів, середнє, медіана, sd і sem відсотків, альфа
Кронбаха (KR-20 для питань 0/1) за питаннями, які отримав кожен учень, оцінки.
Дисперсії та стандартні відхилення діляться на n - 1. Питання, якого учень не
отримав, для нього відсутнє, а не нульове. Невизначені значення (замало учнів,
немає розкиду) показано як &quot;-&quot; (null у JSON, порожньо в CSV).
Обірвані звіти (без підсумків) не враховуються; файли, що не є звітами,
називаються в stderr і пропускаються. Звіт, який не відповідає тесту в DIR
(інший тест, питання чи варіант, якого в тесті немає, бали понад максимум
питання), відхиляється з назвою і причиною, і нічого не рахується
(код виходу 1), якщо тільки --rescore спершу не переоцінить кожен звіт за тестом.
Зараховується одна спроба кожного учня (--attempt, типово остання завершена);
учнів із кількома звітами перелічено як повторних. Сесію, закриту без жодної
відповіді, перелічено як неписану, і вона не входить у жодне число.

Ключі --json: students, mean, median, sd, alpha, sem, grades {grade: count},
questions [{question, sat, facility, sd, discrimination, efficiency, flags,
options {option: times} або null}], attempt, notSat [names], repeated
[{student, reports, counted}]. mean, median, sd і sem — у відсотках від
максимуму (як у звітах), facility, discrimination і efficiency — у відсотках,
sd питання — у балах, alpha — дріб; JSON зберігає чотири знаки після коми.
--csv: один рядок на питання.</translation>
    </message>
    <message>
        <source>The question table as CSV.</source>
        <translation>Таблиця питань у CSV.</translation>
    </message>
    <message>
        <source>Everything as JSON.</source>
        <translation>Усе в JSON.</translation>
    </message>
    <message>
        <source>Show this help.</source>
        <translation>Показати цю довідку.</translation>
    </message>
    <message>
        <source>unexpected argument &quot;%1&quot;</source>
        <translation>зайвий аргумент «%1»</translation>
    </message>
    <message>
        <source>--seed wants a whole number from 0 to 4294967295, not &quot;%1&quot;</source>
        <translation>--seed потребує цілого числа від 0 до 4294967295, а не «%1»</translation>
    </message>
    <message>
        <source>Directory holding voprosi.txt and otveti.txt (default: .).</source>
        <translation>Тека з voprosi.txt і otveti.txt (типово: .).</translation>
    </message>
    <message>
        <source>Window width in pixels (default 1024).</source>
        <translation>Ширина вікна в пікселях (типово 1024).</translation>
    </message>
    <message>
        <source>Window height in pixels (default 768).</source>
        <translation>Висота вікна в пікселях (типово 768).</translation>
    </message>
    <message>
        <source>Character width in pixels instead of measuring the test font.</source>
        <translation>Ширина символу в пікселях замість вимірювання шрифту тесту.</translation>
    </message>
    <message>
        <source>--%1 wants a whole number from 1 to %2, not &quot;%3&quot;</source>
        <translation>--%1 потребує цілого числа від 1 до %2, а не «%3»</translation>
    </message>
    <message>
        <source>usage: quizdesk-tool COMMAND [ARGS]

commands:
</source>
        <translation>використання: quizdesk-tool КОМАНДА [АРГУМЕНТИ]

команди:
</translation>
    </message>
    <message>
        <source>
&apos;quizdesk-tool COMMAND --help&apos; describes a command; --version says the version.
Exit codes: 0 success, 1 the test or a file is at fault, 2 bad usage.
</source>
        <translation>
&apos;quizdesk-tool КОМАНДА --help&apos; описує команду; --version повідомляє версію.
Коди виходу: 0 — успіх, 1 — помилка в тесті чи файлі, 2 — неправильний виклик.
</translation>
    </message>
    <message>
        <source>unknown command &quot;%1&quot;</source>
        <translation>невідома команда «%1»</translation>
    </message>
    <message>
        <source>Pictures of the test in DIR as the student&apos;s window shows it: the title page
and every question with nothing answered, as PNG files, and index.html
listing them. The questions come in the order the run drawn from the seed
asks them, then those it leaves out, in file order.</source>
        <translation>Малюнки тесту з DIR такими, як їх показує вікно учня: титульна сторінка
і кожне питання без відповіді, у файлах PNG, та index.html з їх переліком.
Питання йдуть у тому порядку, в якому їх задає проходження, вибране із
зерна, а потім ті, які воно пропускає, у порядку файлу.</translation>
    </message>
    <message>
        <source>Folder for the pictures and index.html (default: preview), made when missing.</source>
        <translation>Тека для малюнків та index.html (типово: preview); створюється, якщо її немає.</translation>
    </message>
    <message>
        <source>Draw the run&apos;s questions and answer orders from seed S, 0 to 4294967295 (default 0).</source>
        <translation>Вибирати питання проходження й порядок відповідей із зерна S, від 0 до 4294967295 (типово 0).</translation>
    </message>
    <message>
        <source>Window width in pixels, up to %1 (default %2).</source>
        <translation>Ширина вікна в пікселях, до %1 (типово %2).</translation>
    </message>
    <message>
        <source>Window height in pixels, up to %1 (default %2).</source>
        <translation>Висота вікна в пікселях, до %1 (типово %2).</translation>
    </message>
    <message>
        <source>The exam server&apos;s journal: a SQLite file or postgresql://USER@HOST[:PORT]/DB (its finished sittings&apos; reports, with the server&apos;s figures where it scored them).</source>
        <translation>Журнал сервера іспиту: файл SQLite або postgresql://USER@HOST[:PORT]/DB (звіти його завершених сесій, з числами сервера там, де він їх оцінив).</translation>
    </message>
    <message>
        <source>Histogram of the percentages</source>
        <translation>Гістограма відсотків</translation>
    </message>
    <message>
        <source>percentage</source>
        <translation>відсоток</translation>
    </message>
    <message>
        <source>--html OUT.html is required</source>
        <translation>потрібен --html OUT.html</translation>
    </message>
    <message>
        <source>Results: %1</source>
        <translation>Результати: %1</translation>
    </message>
    <message>
        <source>%1 students · %2 questions, %3 asked of each</source>
        <translation>учнів: %1 · питань: %2, кожному задано %3</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>Підсумок</translation>
    </message>
    <message>
        <source>Finished reports</source>
        <translation>Завершені звіти</translation>
    </message>
    <message>
        <source>Mean / median</source>
        <translation>Середнє / медіана</translation>
    </message>
    <message>
        <source>Standard deviation</source>
        <translation>Стандартне відхилення</translation>
    </message>
    <message>
        <source>Cronbach&apos;s alpha</source>
        <translation>Альфа Кронбаха</translation>
    </message>
    <message>
        <source>%1 (over %2 questions every student sat)</source>
        <translation>%1 (за %2 питаннями, які отримав кожен учень)</translation>
    </message>
    <message>
        <source>Standard error of measurement</source>
        <translation>Стандартна похибка вимірювання</translation>
    </message>
    <message>
        <source>Grades</source>
        <translation>Оцінки</translation>
    </message>
    <message>
        <source>Gradebook</source>
        <translation>Журнал оцінок</translation>
    </message>
    <message>
        <source>Student</source>
        <translation>Учень</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Дата</translation>
    </message>
    <message>
        <source>Points</source>
        <translation>Бали</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>Макс.</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Час</translation>
    </message>
    <message>
        <source>Grade</source>
        <translation>Оцінка</translation>
    </message>
    <message>
        <source>not sat (no question answered)</source>
        <translation>не писав (жодної відповіді)</translation>
    </message>
    <message>
        <source>report stops after %1 questions</source>
        <translation>звіт обривається після %1 питань</translation>
    </message>
    <message>
        <source>Repeated names</source>
        <translation>Повторні імена</translation>
    </message>
    <message>
        <source>One report a student is counted: the %1.</source>
        <translation>Зараховується один звіт учня: %1.</translation>
    </message>
    <message>
        <source>Reports</source>
        <translation>Звітів</translation>
    </message>
    <message>
        <source>Counted</source>
        <translation>Зараховано</translation>
    </message>
    <message>
        <source>Questions</source>
        <translation>Питання</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>Питання</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Тип</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>Бал</translation>
    </message>
    <message>
        <source>Sat</source>
        <translation>Отримали</translation>
    </message>
    <message>
        <source>Facility %</source>
        <translation>Легкість, %</translation>
    </message>
    <message>
        <source>SD</source>
        <translation>СВ</translation>
    </message>
    <message>
        <source>Discrimination</source>
        <translation>Розрізнення</translation>
    </message>
    <message>
        <source>Efficiency %</source>
        <translation>Ефективність, %</translation>
    </message>
    <message>
        <source>Flags</source>
        <translation>Позначки</translation>
    </message>
    <message>
        <source>Facility: mean points / mark. Discrimination: 100 × the correlation of a question&apos;s points with the rest of the test. Efficiency: that covariance over the largest possible. Standard deviations divide by n − 1; “-” is undefined (too few students, no spread). Flags: efficiency under 15 %, negative discrimination, facility over 95 % or under 5 %.</source>
        <translation>Легкість: середні бали / бал питання. Розрізнення: 100 × кореляція балів питання з рештою тесту. Ефективність: ця коваріація, поділена на найбільшу можливу. Стандартні відхилення (СВ) діляться на n − 1; «-» означає невизначене значення (замало учнів, немає розкиду). Позначки: ефективність менше 15 %, від’ємне розрізнення, легкість понад 95 % або менше 5 %.</translation>
    </message>
    <message>
        <source>Question %1 (%2 students)</source>
        <translation>Питання %1 (учнів: %2)</translation>
    </message>
    <message>
        <source>Option</source>
        <translation>Варіант</translation>
    </message>
    <message>
        <source>Chosen</source>
        <translation>Вибрано</translation>
    </message>
    <message>
        <source>Share</source>
        <translation>Частка</translation>
    </message>
    <message>
        <source>Options chosen</source>
        <translation>Вибрані варіанти</translation>
    </message>
    <message>
        <source>Options by their number in the test file; ✓ marks the key of the test in the folder given. Share: of the students who sat the question.</source>
        <translation>Варіанти за їхніми номерами у файлі тесту; ✓ позначає ключ тесту із заданої теки. Частка — від учнів, які отримали питання.</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>не вдається записати %1: %2</translation>
    </message>
    <message>
        <source>quizdesk-tool: warning: question %1 expects the single answer &quot;%2&quot;, which holds &apos;%3&apos;; for several accepted answers write the entry as &quot;%1) 7 / one | other / points&quot;
</source>
        <translation>quizdesk-tool: попередження: питання %1 очікує єдину відповідь «%2», у якій є &apos;%3&apos;; щоб прийняти кілька відповідей, запишіть рядок як &quot;%1) 7 / одна | інша / бали&quot;
</translation>
    </message>
    <message>
        <source>--script FILE is required</source>
        <translation>потрібен --script FILE</translation>
    </message>
    <message>
        <source>cannot read the script %1: %2</source>
        <translation>не вдається прочитати сценарій %1: %2</translation>
    </message>
    <message>
        <source>%1:%2: %3</source>
        <translation>%1:%2: %3</translation>
    </message>
    <message>
        <source>the line is not UTF-8 text</source>
        <translation>рядок не є текстом UTF-8</translation>
    </message>
    <message>
        <source>unknown action &quot;%1&quot; (name, exam, begin, press, marker, click, move, type, wait, next, close, key, choose, order, match, crash)</source>
        <translation>невідома дія «%1» (name, exam, begin, press, marker, click, move, type, wait, next, close, key, choose, order, match, crash)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; takes nothing after it</source>
        <translation>після «%1» нічого не має бути</translation>
    </message>
    <message>
        <source>&quot;key&quot; wants a key (up, down, left, right, home, end, space, enter, f1) and how often, 1 to 100: key K [N]</source>
        <translation>«key» потребує клавіші (up, down, left, right, home, end, space, enter, f1) і кількості натискань, від 1 до 100: key K [N]</translation>
    </message>
    <message>
        <source>&quot;crash&quot; takes nothing or &quot;answered&quot; after it</source>
        <translation>після «crash» може бути лише «answered» або нічого</translation>
    </message>
    <message>
        <source>&quot;wait&quot; wants seconds from 0 to 100000, at most three decimals: wait S</source>
        <translation>«wait» потребує секунд від 0 до 100000, не більше трьох знаків після крапки: wait S</translation>
    </message>
    <message>
        <source>--format is gift or moodle-xml</source>
        <translation>--format — це gift або moodle-xml</translation>
    </message>
    <message>
        <source>cannot write &quot;%1&quot;: %2</source>
        <translation>не вдається записати «%1»: %2</translation>
    </message>
    <message>
        <source>import needs the FILE to read</source>
        <translation>import потребує файлу FILE для читання</translation>
    </message>
    <message>
        <source>cannot read &quot;%1&quot;: %2</source>
        <translation>не вдається прочитати «%1»: %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is larger than 256 MB</source>
        <translation>«%1» більший за 256 МБ</translation>
    </message>
    <message>
        <source>&quot;%1&quot; already holds a test; nothing written</source>
        <translation>«%1» уже містить тест; нічого не записано</translation>
    </message>
    <message>
        <source>&quot;%1&quot; holds no question QuizDesk can ask</source>
        <translation>«%1» не містить жодного питання, яке може задати QuizDesk</translation>
    </message>
    <message>
        <source>%1 losses; nothing written (--strict)</source>
        <translation>втрат: %1; нічого не записано (--strict)</translation>
    </message>
    <message>
        <source>cannot make the folder &quot;%1&quot;</source>
        <translation>не вдається створити теку «%1»</translation>
    </message>
    <message>
        <source>cannot create the folder %1</source>
        <translation>не вдається створити теку %1</translation>
    </message>
    <message>
        <source>the run ended before question %1</source>
        <translation>проходження завершилося до питання %1</translation>
    </message>
    <message>
        <source>one of --reports FOLDER or --db DB is required</source>
        <translation>потрібен --reports FOLDER або --db DB</translation>
    </message>
    <message>
        <source>--attempt takes latest, best or first</source>
        <translation>--attempt приймає latest, best або first</translation>
    </message>
    <message>
        <source>%1: refused: %2</source>
        <translation>%1: відхилено: %2</translation>
    </message>
    <message>
        <source>%1: skipped: %2</source>
        <translation>%1: пропущено: %2</translation>
    </message>
    <message>
        <source>%1: unfinished (the report stops before its totals): not counted</source>
        <translation>%1: незавершений (звіт обривається до підсумків): не враховано</translation>
    </message>
    <message>
        <source>%1 report(s) do not fit the test in %2: nothing is counted%3</source>
        <translation>звітів, що не відповідають тесту в %2: %1; нічого не враховано%3</translation>
    </message>
    <message>
        <source>--write must name another folder than --reports: the original reports are never overwritten</source>
        <translation>--write має називати іншу теку, ніж --reports: оригінальні звіти ніколи не перезаписуються</translation>
    </message>
    <message>
        <source>%1: cannot be rescored: %2</source>
        <translation>%1: не вдається переоцінити: %2</translation>
    </message>
    <message>
        <source>%1: not written: it is the original</source>
        <translation>%1: не записано: це оригінал</translation>
    </message>
    <message>
        <source>%1: cannot write %2: %3</source>
        <translation>%1: не вдається записати %2: %3</translation>
    </message>
    <message>
        <source>which file of names?</source>
        <translation>який файл з іменами?</translation>
    </message>
    <message>
        <source>%1: not written: it is the file of names</source>
        <translation>%1: не записано: це файл з іменами</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>quizdesk-tool: warning: %1: the name &quot;%2&quot; is there more than once
</source>
        <translation>quizdesk-tool: попередження: %1: ім’я «%2» трапляється більше одного разу
</translation>
    </message>
    <message>
        <source>--kind is questions or answers, not &quot;%1&quot;</source>
        <translation>--kind — це questions або answers, а не «%1»</translation>
    </message>
    <message>
        <source>cannot tell whether &quot;%1&quot; holds questions or answers: name it voprosi.txt or otveti.txt, or give --kind</source>
        <translation>не вдається визначити, чи «%1» містить питання, чи відповіді: назвіть його voprosi.txt або otveti.txt чи задайте --kind</translation>
    </message>
    <message>
        <source>which file?</source>
        <translation>який файл?</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is scrambled already</source>
        <translation>«%1» уже зашифровано</translation>
    </message>
    <message>
        <source>&quot;%1&quot; does not begin with &quot;%2&quot; as a plain %3 file must; scrambling it would lose its first two characters</source>
        <translation>«%1» не починається з «%2», як має починатися відкритий файл %3; шифрування втратило б його перші два символи</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not scrambled</source>
        <translation>«%1» не зашифровано</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is damaged: it ends before its seed</source>
        <translation>«%1» пошкоджено: він закінчується раніше за зерно</translation>
    </message>
    <message>
        <source>--csv and --json exclude each other</source>
        <translation>--csv і --json взаємовиключні</translation>
    </message>
    <message>
        <source> (--rescore scores them against it first)</source>
        <translation> (--rescore спершу переоцінює їх за ним)</translation>
    </message>
    <message>
        <source>%1 is saved as UTF-16, but QuizDesk reads code page 1251; convert it with: iconv -f UTF-16 -t CP1251 %1 &gt; %2 &amp;&amp; mv %2 %1</source>
        <translation>%1 збережено в UTF-16, а QuizDesk читає кодову сторінку 1251; перетворіть його так: iconv -f UTF-16 -t CP1251 %1 &gt; %2 &amp;&amp; mv %2 %1</translation>
    </message>
    <message>
        <source>%1 is saved as UTF-8 (with a byte order mark), but QuizDesk reads code page 1251; convert it with: tail -c +4 %1 | iconv -f UTF-8 -t CP1251 &gt; %2 &amp;&amp; mv %2 %1</source>
        <translation>%1 збережено в UTF-8 (з позначкою порядку байтів), а QuizDesk читає кодову сторінку 1251; перетворіть його так: tail -c +4 %1 | iconv -f UTF-8 -t CP1251 &gt; %2 &amp;&amp; mv %2 %1</translation>
    </message>
    <message>
        <source>%1 is saved as UTF-8, but QuizDesk reads code page 1251; convert it with: iconv -f UTF-8 -t CP1251 %1 &gt; %2 &amp;&amp; mv %2 %1</source>
        <translation>%1 збережено в UTF-8, а QuizDesk читає кодову сторінку 1251; перетворіть його так: iconv -f UTF-8 -t CP1251 %1 &gt; %2 &amp;&amp; mv %2 %1</translation>
    </message>
    <message>
        <source>question %1: the &apos;&lt;&apos; on line %2 of voprosi.txt is not closed by &apos;&gt;&apos; before the next &apos;&lt;&apos; on line %3</source>
        <translation>питання %1: &apos;&lt;&apos; у рядку %2 файлу voprosi.txt не закрито знаком &apos;&gt;&apos; до наступного &apos;&lt;&apos; у рядку %3</translation>
    </message>
    <message>
        <source>question %1: the &apos;&lt;&apos; on line %2 of voprosi.txt is not closed by &apos;&gt;&apos; before the question ends</source>
        <translation>питання %1: &apos;&lt;&apos; у рядку %2 файлу voprosi.txt не закрито знаком &apos;&gt;&apos; до кінця питання</translation>
    </message>
    <message>
        <source>line %1 of %2 ends with %3, the lines before it with %4; save the file with CR LF line ends throughout</source>
        <translation>рядок %1 файлу %2 закінчується на %3, а рядки перед ним — на %4; збережіть файл із кінцями рядків CR LF усюди</translation>
    </message>
    <message>
        <source>CR alone</source>
        <translation>самий CR</translation>
    </message>
    <message>
        <source>LF alone</source>
        <translation>самий LF</translation>
    </message>
    <message>
        <source>the header of otveti.txt announces %1 questions, but voprosi.txt holds %2 (each question ends with &apos;#&apos;)</source>
        <translation>заголовок otveti.txt оголошує питань: %1, а voprosi.txt містить %2 (кожне питання закінчується на &apos;#&apos;)</translation>
    </message>
    <message>
        <source>the header of otveti.txt announces %1 questions, but voprosi.txt holds %2 (each question ends with &apos;#&apos;); the last %3 are never asked</source>
        <translation>заголовок otveti.txt оголошує питань: %1, а voprosi.txt містить %2 (кожне питання закінчується на &apos;#&apos;); останні %3 ніколи не задаються</translation>
    </message>
    <message>
        <source>hint: </source>
        <translation>підказка: </translation>
    </message>
    <message>
        <source>quizdesk-tool: warning: </source>
        <translation>quizdesk-tool: попередження: </translation>
    </message>
    <message>
        <source>script line %1: question %2 shows no option &quot;%3&quot;</source>
        <translation>рядок сценарію %1: питання %2 не показує варіанта «%3»</translation>
    </message>
    <message>
        <source>question %1 accepts: %2
</source>
        <translation>питання %1 приймає: %2
</translation>
    </message>
    <message>
        <source>OK: questions %1, sections %2, asked %3
</source>
        <translation>Гаразд: питань %1, розділів %2, задається %3
</translation>
    </message>
    <message>
        <source>accommodations: students %1, everyone %2
</source>
        <translation>пристосування: учнів %1, для всіх %2
</translation>
    </message>
    <message>
        <source>none</source>
        <translation>немає</translation>
    </message>
    <message>
        <source>--format is gift, moodle-xml or aiken, not &quot;%1&quot;</source>
        <translation>--format — це gift, moodle-xml або aiken, а не «%1»</translation>
    </message>
    <message>
        <source>the test made from &quot;%1&quot; does not load; nothing written:</source>
        <translation>тест, зроблений з «%1», не завантажується; нічого не записано:</translation>
    </message>
    <message>
        <source>imported %1 questions into %2 (%3 pictures, %4 losses)
</source>
        <translation>імпортовано питань: %1 у %2 (малюнків: %3, втрат: %4)
</translation>
    </message>
    <message>
        <source>%1 of %2 reports change
</source>
        <translation>змінюється звітів: %1 із %2
</translation>
    </message>
    <message>
        <source>%1: %2 students
</source>
        <translation>%1: учнів %2
</translation>
    </message>
    <message>
        <source>students %1   mean %2 %   median %3 %   sd %4 %   alpha %5 (%6 questions)   sem %7 %
</source>
        <translation>учнів %1   середнє %2 %   медіана %3 %   СВ %4 %   альфа %5 (питань: %6)   ПВ %7 %
</translation>
    </message>
    <message>
        <source>grades   %1
</source>
        <translation>оцінки   %1
</translation>
    </message>
    <message>
        <source>not sat  %1 (no question answered: in no figure)
</source>
        <translation>не писали  %1 (жодної відповіді: не враховано в жодному показнику)
</translation>
    </message>
    <message>
        <source>%1 (%2 reports, counted %3)</source>
        <translation>%1 (звітів: %2, враховано: %3)</translation>
    </message>
    <message>
        <source>repeated %1; one attempt each: %2
</source>
        <translation>повторно %1; по одній спробі: %2
</translation>
    </message>
    <message>
        <source>question</source>
        <translation>питання</translation>
    </message>
    <message>
        <source>type</source>
        <translation>тип</translation>
    </message>
    <message>
        <source>mark</source>
        <translation>бал</translation>
    </message>
    <message>
        <source>sat</source>
        <translation>писали</translation>
    </message>
    <message>
        <source>facility%</source>
        <translation>легкість%</translation>
    </message>
    <message>
        <source>sd</source>
        <translation>СВ</translation>
    </message>
    <message>
        <source>discrim.</source>
        <translation>розрізн.</translation>
    </message>
    <message>
        <source>effic.%</source>
        <translation>ефект.%</translation>
    </message>
    <message>
        <source>flags</source>
        <translation>позначки</translation>
    </message>
    <message>
        <source>
options chosen (option:times)
</source>
        <translation>
вибрані варіанти (варіант:разів)
</translation>
    </message>
    <message>
        <source>ANSWER %1 names no option of the question; left out</source>
        <translation>ANSWER %1 не називає жодного варіанта питання; пропущено</translation>
    </message>
    <message>
        <source>no ANSWER line; the question is left out</source>
        <translation>немає рядка ANSWER; питання пропущено</translation>
    </message>
    <message>
        <source>Markdown formatting is shown as plain text</source>
        <translation>форматування Markdown показано як звичайний текст</translation>
    </message>
    <message>
        <source>picture &quot;%1&quot; is left out: a question shows one picture</source>
        <translation>малюнок «%1» пропущено: питання показує один малюнок</translation>
    </message>
    <message>
        <source>picture &quot;%1&quot; is not embedded in the file</source>
        <translation>малюнок «%1» не вбудовано у файл</translation>
    </message>
    <message>
        <source>a picture in an answer is left out</source>
        <translation>малюнок у відповіді пропущено</translation>
    </message>
    <message>
        <source>the XML is not well formed (%1); the rest of the file is not read</source>
        <translation>XML має помилку (%1); решту файлу не прочитано</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is reserved by the test files; written as &apos;%2&apos;</source>
        <translation>«%1» зарезервовано файлами тесту; записано як «%2»</translation>
    </message>
    <message>
        <source>&apos;%1&apos; (U+%2) is not in code page 1251; written as &apos;?&apos;</source>
        <translation>«%1» (U+%2) немає в кодовій сторінці 1251; записано як «?»</translation>
    </message>
    <message>
        <source>points %1 cannot be given; the question is worth 1</source>
        <translation>бали %1 не можна призначити; питання варте 1</translation>
    </message>
    <message>
        <source>points %1 are not a whole number; the question is worth %2</source>
        <translation>бали %1 — не ціле число; питання варте %2</translation>
    </message>
    <message>
        <source>%1 options: a question has 2 to %2; left out</source>
        <translation>варіантів: %1, а питання має від 2 до %2; пропущено</translation>
    </message>
    <message>
        <source>no option carries points; left out</source>
        <translation>жоден варіант не дає балів; пропущено</translation>
    </message>
    <message>
        <source>no option earns 100%; left out</source>
        <translation>жоден варіант не дає 100%; пропущено</translation>
    </message>
    <message>
        <source>option &quot;%1&quot; earns %2; a single-choice option earns all or nothing, so it earns 0</source>
        <translation>варіант «%1» дає %2; варіант одиночного вибору дає все або нічого, тож він дає 0</translation>
    </message>
    <message>
        <source>option &quot;%1&quot; earns %2; every right option earns an equal share (%3)</source>
        <translation>варіант «%1» дає %2; кожен правильний варіант дає рівну частку (%3)</translation>
    </message>
    <message>
        <source>option &quot;%1&quot; costs %2; a wrong pick costs one share (%3) once more options are picked than are right</source>
        <translation>варіант «%1» знімає %2; хибний вибір знімає одну частку (%3), коли вибрано більше варіантів, ніж правильних</translation>
    </message>
    <message>
        <source>answer &quot;%1&quot; uses the wildcard &apos;*&apos;; it is compared as written</source>
        <translation>відповідь «%1» містить шаблон «*»; її порівнюють як записано</translation>
    </message>
    <message>
        <source>answer &quot;%1&quot; holds &apos;/&apos; or &apos;|&apos;, which a key cannot hold; left out</source>
        <translation>відповідь «%1» містить «/» або «|», яких ключ не може містити; пропущено</translation>
    </message>
    <message>
        <source>answer &quot;%1&quot; is empty or too long; left out</source>
        <translation>відповідь «%1» порожня або задовга; пропущено</translation>
    </message>
    <message>
        <source>answer &quot;%1&quot; earns %2; a typed answer earns all or nothing, so it earns 0</source>
        <translation>відповідь «%1» дає %2; введена відповідь дає все або нічого, тож вона дає 0</translation>
    </message>
    <message>
        <source>no answer earns 100%; left out</source>
        <translation>жодна відповідь не дає 100%; пропущено</translation>
    </message>
    <message>
        <source>the accepted answers are longer than 199 characters; left out</source>
        <translation>прийнятні відповіді довші за 199 символів; пропущено</translation>
    </message>
    <message>
        <source>the answer is case-sensitive; QuizDesk ignores case and blanks</source>
        <translation>відповідь чутлива до регістру; QuizDesk не зважає на регістр і пробіли</translation>
    </message>
    <message>
        <source>%1 pairs with %2 answers do not fit a matching question; left out</source>
        <translation>%1 пар із %2 відповідями не вміщуються в питання на відповідність; пропущено</translation>
    </message>
    <message>
        <source>ordering graded by rule %1; QuizDesk gives a share for each item in its place</source>
        <translation>упорядкування оцінюється за правилом %1; QuizDesk дає частку за кожен елемент на своєму місці</translation>
    </message>
    <message>
        <source>%1 items: a question has 2 to %2; left out</source>
        <translation>елементів: %1, а питання має від 2 до %2; пропущено</translation>
    </message>
    <message>
        <source>picture &quot;%1&quot; cannot be read; the question has none</source>
        <translation>малюнок «%1» не читається; питання лишається без малюнка</translation>
    </message>
    <message>
        <source>a question of type %1 has no QuizDesk kind; left out</source>
        <translation>питанню типу %1 не відповідає жоден вид QuizDesk; пропущено</translation>
    </message>
    <message>
        <source>the question is longer than %1 characters; left out</source>
        <translation>питання довше за %1 символів; пропущено</translation>
    </message>
    <message>
        <source>the settings carried in the file are not valid; the defaults are written</source>
        <translation>налаштування з файлу неправильні; записано типові</translation>
    </message>
</context>
</TS>
