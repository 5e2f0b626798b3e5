CREATE TRIGGER refuse BEFORE INSERT ON hm_routeaddresses WHEN new.routeaddressaddress = 'dora@example.com' BEGIN SELECT RAISE(ABORT, 'geschuetzte Adresse'); END
