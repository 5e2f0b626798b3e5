-- The mail server's route tables, for SQLite.

CREATE TABLE hm_routes (
  routeid INTEGER PRIMARY KEY AUTOINCREMENT,
  routedomainname VARCHAR(255) NOT NULL,
  routedescription VARCHAR(255) NOT NULL,
  routetargetsmthost VARCHAR(255) NOT NULL,
  routetargetsmtport INTEGER NOT NULL,
  routenooftries INTEGER NOT NULL,
  routeminutesbetweentry INTEGER NOT NULL,
  routealladdresses SMALLINT NOT NULL,
  routeuseauthentication SMALLINT NOT NULL,
  routeauthenticationusername VARCHAR(255) NOT NULL,
  routeauthenticationpassword VARCHAR(255) NOT NULL,
  routetreatsecurityaslocal SMALLINT NOT NULL,
  routeconnectionsecurity SMALLINT NOT NULL,
  routetreatsenderaslocaldomain SMALLINT NOT NULL
);

CREATE TABLE hm_routeaddresses (
  routeaddressid INTEGER PRIMARY KEY AUTOINCREMENT,
  routeaddressrouteid INTEGER NOT NULL,
  routeaddressaddress VARCHAR(255) NOT NULL
);

CREATE INDEX idx_hm_routeaddresses ON hm_routeaddresses (routeaddressrouteid);
