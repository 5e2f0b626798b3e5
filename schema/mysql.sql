-- The mail server's route tables, for MySQL and MariaDB, as the mail server
-- creates them: utf8 tables (utf8mb3 with its case- and accent-insensitive
-- general collation) in a database created with character set 'utf8'.

CREATE TABLE hm_routes (
  routeid int NOT NULL auto_increment,
  routedomainname varchar(255) NOT NULL,
  routedescription varchar(255) NOT NULL,
  routetargetsmthost varchar(255) NOT NULL,
  routetargetsmtport int NOT NULL,
  routenooftries int NOT NULL,
  routeminutesbetweentry int NOT NULL,
  routealladdresses tinyint unsigned NOT NULL,
  routeuseauthentication tinyint NOT NULL,
  routeauthenticationusername varchar(255) NOT NULL,
  routeauthenticationpassword varchar(255) NOT NULL,
  routetreatsecurityaslocal tinyint NOT NULL,
  routeconnectionsecurity tinyint NOT NULL,
  routetreatsenderaslocaldomain tinyint NOT NULL,
  PRIMARY KEY (routeid)
) DEFAULT CHARSET=utf8;

CREATE TABLE hm_routeaddresses (
  routeaddressid mediumint(9) NOT NULL auto_increment,
  routeaddressrouteid int NOT NULL,
  routeaddressaddress varchar(255) NOT NULL,
  PRIMARY KEY (routeaddressid)
) DEFAULT CHARSET=utf8;
