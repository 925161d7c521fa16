<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="uk_UA">
<context>
    <name>qd::server</name>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 потребує значення</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>невідомий параметр %1</translation>
    </message>
    <message>
        <source>no journal %1 here (--db names it)</source>
        <translation>тут немає журналу %1 (його називає --db)</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>не вдається записати %1: %2</translation>
    </message>
    <message>
        <source>serve takes no argument</source>
        <translation>serve не приймає аргументів</translation>
    </message>
    <message>
        <source>--retakes takes a count</source>
        <translation>--retakes потребує кількості</translation>
    </message>
    <message>
        <source>%1 takes &quot;YYYY-MM-DD HH:MM[:SS]&quot; (local time)</source>
        <translation>%1 потребує &quot;YYYY-MM-DD HH:MM[:SS]&quot; (місцевий час)</translation>
    </message>
    <message>
        <source>--allow takes an address range such as 10.1.2.0/24: %1</source>
        <translation>--allow потребує діапазону адрес на зразок 10.1.2.0/24: %1</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>не вдається прочитати %1: %2</translation>
    </message>
    <message>
        <source>--port takes 0 to 65535</source>
        <translation>--port потребує числа від 0 до 65535</translation>
    </message>
    <message>
        <source>%1 takes a number from 1 to %2</source>
        <translation>%1 потребує числа від 1 до %2</translation>
    </message>
    <message>
        <source>--listen takes an address</source>
        <translation>--listen потребує адреси</translation>
    </message>
    <message>
        <source>--http takes ADDR:PORT</source>
        <translation>--http потребує ADDR:PORT</translation>
    </message>
    <message>
        <source>%1 (the clients are asked to send again)</source>
        <translation>%1 (клієнтів попрошено надіслати ще раз)</translation>
    </message>
    <message>
        <source>the journal takes messages again</source>
        <translation>журнал знову приймає повідомлення</translation>
    </message>
    <message>
        <source>%1; every message is asked again meanwhile</source>
        <translation>%1; тим часом кожне повідомлення запитується ще раз</translation>
    </message>
    <message>
        <source>cannot take the socket from systemd: %1</source>
        <translation>не вдається взяти сокет від systemd: %1</translation>
    </message>
    <message>
        <source>cannot listen on %1 port %2: %3</source>
        <translation>не вдається слухати на %1, порт %2: %3</translation>
    </message>
    <message>
        <source>cannot serve the board on %1</source>
        <translation>не вдається показувати табло на %1</translation>
    </message>
    <message>
        <source>%1 (the previous roster stays)</source>
        <translation>%1 (залишається попередній список)</translation>
    </message>
    <message>
        <source>roster read again: %1 students</source>
        <translation>список прочитано знову: учнів %1</translation>
    </message>
    <message>
        <source>listening on %1 port %2, %3 students on the roster</source>
        <translation>слухаю на %1, порт %2; учнів у списку: %3</translation>
    </message>
    <message>
        <source>scoring with the test &quot;%1&quot; in %2</source>
        <translation>оцінюю за тестом «%1» з %2</translation>
    </message>
    <message>
        <source>results are not verified: no --test given</source>
        <translation>результати не перевіряються: не задано --test</translation>
    </message>
    <message>
        <source>board on %1</source>
        <translation>табло на %1</translation>
    </message>
    <message>
        <source>--format takes csv, csv-1251 or xlsx</source>
        <translation>--format потребує csv, csv-1251 або xlsx</translation>
    </message>
    <message>
        <source>xlsx needs -o FILE</source>
        <translation>xlsx потребує -o FILE</translation>
    </message>
    <message>
        <source>report takes one NAME</source>
        <translation>report потребує одного NAME</translation>
    </message>
    <message>
        <source>no report of %1</source>
        <translation>немає звіту учня %1</translation>
    </message>
    <message>
        <source>release takes one NAME</source>
        <translation>release потребує одного NAME</translation>
    </message>
    <message>
        <source>%1 has no open sitting</source>
        <translation>%1 не має відкритої сесії</translation>
    </message>
    <message>
        <source>released %1</source>
        <translation>звільнено %1</translation>
    </message>
    <message>
        <source>released %1 to go on on another computer</source>
        <translation>звільнено %1, щоб продовжити на іншому комп&apos;ютері</translation>
    </message>
    <message>
        <source>import-reports takes one FOLDER</source>
        <translation>import-reports потребує однієї FOLDER</translation>
    </message>
    <message>
        <source>stop takes one NAME</source>
        <translation>stop потребує одного NAME</translation>
    </message>
    <message>
        <source>stopped %1</source>
        <translation>зупинено %1</translation>
    </message>
    <message>
        <source>verify takes no argument</source>
        <translation>verify не приймає аргументів</translation>
    </message>
    <message>
        <source>the journal does not hold: %1</source>
        <translation>журнал не цілісний: %1</translation>
    </message>
    <message>
        <source>unknown command %1</source>
        <translation>невідома команда %1</translation>
    </message>
    <message>
        <source>usage:</source>
        <translation>використання:</translation>
    </message>
    <message>
        <source>DB: a SQLite file (default %1) or postgresql://USER@HOST[:PORT]/DB</source>
        <translation>DB: файл SQLite (типово %1) або postgresql://USER@HOST[:PORT]/DB</translation>
    </message>
    <message>
        <source>student</source>
        <translation>учень</translation>
    </message>
    <message>
        <source>computer</source>
        <translation>комп&apos;ютер</translation>
    </message>
    <message>
        <source>started</source>
        <translation>початок</translation>
    </message>
    <message>
        <source>finished</source>
        <translation>кінець</translation>
    </message>
    <message>
        <source>duration</source>
        <translation>тривалість</translation>
    </message>
    <message>
        <source>state</source>
        <translation>стан</translation>
    </message>
    <message>
        <source>percent</source>
        <translation>відсоток</translation>
    </message>
    <message>
        <source>grade</source>
        <translation>оцінка</translation>
    </message>
    <message>
        <source>points</source>
        <translation>бали</translation>
    </message>
    <message>
        <source>max</source>
        <translation>макс.</translation>
    </message>
    <message>
        <source>verified</source>
        <translation>перевірено</translation>
    </message>
    <message>
        <source>claimed percent</source>
        <translation>заявлений відсоток</translation>
    </message>
    <message>
        <source>claimed grade</source>
        <translation>заявлена оцінка</translation>
    </message>
    <message>
        <source>flags</source>
        <translation>позначки</translation>
    </message>
    <message>
        <source>test</source>
        <translation>тест</translation>
    </message>
    <message>
        <source>maximum</source>
        <translation>максимум</translation>
    </message>
    <message>
        <source>answers</source>
        <translation>відповіді</translation>
    </message>
    <message>
        <source>sittings</source>
        <translation>сесії</translation>
    </message>
</context>
</TS>
